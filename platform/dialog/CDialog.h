#pragma once

#include <atomic>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "platform/dialog/MessageMap.h"
#include "platform/dialog/WinDefs.h"

namespace kelvra::platform {

class CDataExchange;
class CListBox;
class NativeDialog;

// A dialog window built from a dialog template and run modally.
//
// Threads: the window's thread is the one that runs DoModal. Every control, timer, icon and
// close call below may also be made from a worker thread: the framework carries it to the
// window's thread and waits until it has run there. Once the window's modal run has ended such
// calls do nothing (queries return empty values) instead of waiting, so a worker never blocks
// on a window that is gone. A worker should check IsWindowOpen() and stop when it turns false:
// the modal run of the outermost window waits for all workers before it returns.
class CDialog {
public:
    explicit CDialog(int templateId, CDialog* parent = nullptr);
    virtual ~CDialog();
    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;

    // Creates the window from its template, runs OnInitDialog, and handles its messages until
    // EndDialog; returns the value given to EndDialog (IDOK, IDCANCEL), or -1 when the window
    // could not be created. Timer messages of other open windows go on being handled meanwhile.
    int DoModal();

    // Ends the modal run with `result` once the current handler returns. Dialogs still running
    // modally above this one end with it (IDCANCEL).
    void EndDialog(int result);

    // Runs DoDataExchange: towards the controls (false) or from them with validation (true).
    // Returns false when a check failed; the user has then been told and the focus moved.
    bool UpdateData(bool saveAndValidate = true);

    int GetTemplateId() const { return templateId_; }

    // True from the window's initialisation until its modal run has ended (EndDialog).
    bool IsWindowOpen() const { return open_.load(std::memory_order_acquire); }

    // Sends (not posts) WM_CLOSE: the window closes exactly as when the user closes it. From a
    // worker it returns once the window's thread has handled the message.
    void SendCloseMessage();

    // Controls by ID. Texts are UTF-8.
    void SetItemText(int controlId, std::string_view text);
    std::string GetItemText(int controlId) const;
    void EnableItem(int controlId, bool enable = true);
    bool IsItemEnabled(int controlId) const;
    void ShowItem(int controlId, bool show = true);
    bool IsItemVisible(int controlId) const;
    void SetItemFocus(int controlId);
    int GetFocusedItem() const;  // the ID of the control with the focus, or 0
    CListBox GetListBox(int controlId);

    // Drawing into a static control, in pixels of its client area (origin 0, 0).
    CRect GetItemClientRect(int controlId) const;
    void FillSolidRect(int controlId, const CRect& rect, COLORREF color);

    // Timers by identifier; WM_TIMER carries the identifier. Setting a running timer again
    // restarts it with the new period.
    bool SetTimer(unsigned timerId, unsigned elapseMs);
    bool KillTimer(unsigned timerId);

    // The system menu; chosen items arrive as WM_SYSCOMMAND with their command.
    bool HasSystemMenu() const;
    void AppendSystemMenu(unsigned flags, unsigned commandId = 0, std::string_view text = {});

    // Window icons (ICON_BIG when bigIcon, else ICON_SMALL).
    void SetIcon(IconHandle icon, bool bigIcon);

    // Minimised painting: inside a WM_PAINT handler while IsIconic(), PaintIconic erases the
    // background and draws `icon` centred, at ((width - icon width + 1) / 2,
    // (height - icon height + 1) / 2) of the client area.
    bool IsIconic() const;
    void PaintIconic(IconHandle icon);

protected:
    // Runs once the controls exist. The base exchanges data towards the controls and returns
    // true: the focus then goes to the first control in tab order.
    virtual bool OnInitDialog();
    virtual void DoDataExchange(CDataExchange* pDX);

    // Enter outside a push button: the base runs UpdateData(true) and ends with IDOK only if it
    // passes. Esc and the default WM_CLOSE: the base ends with IDCANCEL.
    virtual void OnOK();
    virtual void OnCancel();

    // This class's message table; the base table is empty.
    virtual const MessageMap& GetMessageMap() const;

    // The framework's defaults, for handlers that pass a message on.
    void OnSysCommand(unsigned command);
    void OnPaint();
    void OnTimer(unsigned timerId);
    void OnClose();

private:
    friend class DialogAccess;
    friend class CListBox;

    // Runs `call(native)` on the window's thread, carried there from a worker; returns
    // `failed` when the window is not there.
    template <class Result, class Call>
    Result onWindowThread(Result failed, Call&& call) const;

    const int templateId_;
    CDialog* const parent_;
    std::atomic<bool> open_{false};
    bool ended_ = false;
    int result_ = IDCANCEL;
    bool defaultRequested_ = false;
    std::unique_ptr<NativeDialog> native_;
};

// One data exchange between a dialog's fields and its controls.
class CDataExchange {
public:
    CDataExchange(CDialog* dialog, bool saveAndValidate)
        : m_bSaveAndValidate(saveAndValidate), m_pDlgWnd(dialog) {}

    const bool m_bSaveAndValidate;  // true: controls to fields, with checks
    CDialog* const m_pDlgWnd;

    // Remembers the edit whose value the next check is about.
    void PrepareEditCtrl(int controlId) { lastControlId_ = controlId; }

    // Ends the exchange as failed and moves the focus to the prepared edit, its text selected.
    // Exchanges after a failure do nothing.
    void Fail();
    bool Failed() const { return failed_; }

private:
    int lastControlId_ = 0;
    bool failed_ = false;
};

// An int field and an edit control. Towards the edit the value is written in decimal. From the
// edit, at most its first 63 characters are read as a decimal integer (leading blanks skipped,
// an optional sign, the rest ignored); text without a number gives the message box "Please
// enter an integer." and fails the exchange, leaving the field unchanged.
void DDX_Text(CDataExchange* pDX, int controlId, int& value);

// Range check after DDX_Text, inclusive at both ends; only while saving. Out of range gives the
// message box "Please enter an integer between %1 and %2." and fails the exchange.
void DDV_MinMaxInt(CDataExchange* pDX, int value, int minValue, int maxValue);

// A list box of a dialog, by ID. Cheap to copy; every call goes to the dialog's window.
class CListBox {
public:
    CListBox(CDialog& dialog, int controlId) : dialog_(&dialog), controlId_(controlId) {}

    int GetDlgCtrlID() const { return controlId_; }

    // Removes every line (and with them the selection).
    void ResetContent();

    // Tab stops in dialog units: one value places a stop every that many units; several values
    // place stops at those positions.
    void SetTabStops(int eachStop);
    void SetTabStops(std::span<const int> stops);

    // Inserts a line at `index` (-1: at the end) without sorting; returns its index, or LB_ERR.
    int InsertString(int index, std::string_view text);

    int GetCount() const;
    std::string GetText(int index) const;  // empty when there is no such line

    // Multiple-selection lists: how many lines are selected, and their indexes in ascending
    // order, at most maxItems of them written into `indexes`; returns how many were written.
    int GetSelCount() const;
    int GetSelItems(int maxItems, int* indexes) const;
    bool GetSel(int index) const;

    // Selects or deselects a line (-1: every line). Returns LB_ERR for a line that is not there.
    int SetSel(int index, bool select = true);

    // The line with the focus rectangle (0 when the list is empty).
    int GetCaretIndex() const;
    int SetCaretIndex(int index);

private:
    CDialog* dialog_;
    int controlId_;
};

}  // namespace kelvra::platform
