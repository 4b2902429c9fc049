#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/dialog/CDialog.h"
#include "platform/dialog/WinDefs.h"

// The headless dialog backend's test driver. Windows exist only as state in memory; a test acts
// on them as a user would (clicks, keys, timer ticks) and reads back what they show. Nothing
// happens by itself: timers fire when the test fires them, calls carried from a worker run when
// the test pumps, and modal runs are handed to a callback of the test.
namespace kelvra::platform::headless {

struct MessageBoxRecord {
    std::string text;
    std::string title;
    unsigned type = 0;  // as given, with the exclamation icon filled in where none was asked

    unsigned buttons() const { return type & MB_TYPEMASK; }
    unsigned icon() const { return type & MB_ICONMASK; }
};

struct SystemMenuItem {
    unsigned flags = 0;  // MF_STRING or MF_SEPARATOR
    unsigned command = 0;
    std::string text;
};

// What the last WM_PAINT did.
struct PaintRecord {
    bool framework = false;  // the framework painted the window as usual
    bool backgroundErased = false;
    IconHandle icon = nullptr;  // the icon drawn while minimised
    int x = 0;
    int y = 0;
};

// Pixel sizes of the headless windows: dialog units convert with base units 6 x 13 (the dialog
// font's average character width and height), static controls with a sunken frame lose one
// pixel on each side, and icons are 32 x 32.
inline constexpr int kBaseUnitX = 6;
inline constexpr int kBaseUnitY = 13;
inline constexpr int kIconSize = 32;

// The headless desktop for one test. Exactly one may exist at a time; it must outlive the
// dialogs it sees and is left clean (no open window, no worker) when it is destroyed.
class DialogDriver {
public:
    DialogDriver();
    ~DialogDriver();
    DialogDriver(const DialogDriver&) = delete;
    DialogDriver& operator=(const DialogDriver&) = delete;

    // --- Windows -------------------------------------------------------------------------
    // Opens `dialog` as DoModal would (controls from its template, OnInitDialog) and returns
    // at once, leaving the window open for the test to drive. finish() ends the run.
    void open(CDialog& dialog);

    // Ends the run of a window opened with open(): if it has not ended, closes it as a user
    // close; then does what the end of a modal run does (for the outermost window: workers are
    // waited for). Returns the result given to EndDialog.
    int finish(CDialog& dialog);

    // Called for every DoModal while that dialog is open (after OnInitDialog). The handler
    // drives the dialog; if it returns with the dialog still open, the dialog is closed as a
    // user close. Without a handler DoModal closes the dialog that way at once.
    void onModal(std::function<void(CDialog& dialog)> handler);

    // Template IDs of every DoModal so far, in order.
    const std::vector<int>& modalRuns() const;

    // The innermost open window, or nullptr.
    CDialog* topDialog() const;

    bool isOpen(const CDialog& dialog) const;    // created and not yet finished
    bool hasEnded(const CDialog& dialog) const;  // EndDialog has been called

    // --- User input (each returns false, doing nothing, where a user could not do it: the
    // control is hidden or disabled, or the window is not open) -------------------------------
    bool click(CDialog& dialog, int controlId);        // a push button: BN_CLICKED
    bool doubleClick(CDialog& dialog, int controlId);  // a static that reports clicks: STN_DBLCLK
    // A list line: a click toggles it (multiple selection) and moves the caret there, then
    // LBN_SELCHANGE; a double-click moves the caret there and sends LBN_DBLCLK.
    bool clickLine(CDialog& dialog, int controlId, int line);
    bool doubleClickLine(CDialog& dialog, int controlId, int line);
    bool typeText(CDialog& dialog, int controlId, std::string_view text);  // focus, then text
    bool pressEnter(CDialog& dialog);   // on a focused push button: click it; else IDOK
    bool pressEscape(CDialog& dialog);  // IDCANCEL
    bool closeBox(CDialog& dialog);     // the caption's close box: WM_SYSCOMMAND SC_CLOSE
    bool chooseSystemMenu(CDialog& dialog, unsigned command);  // an appended item only
    bool setFocus(CDialog& dialog, int controlId);

    // --- Timers ------------------------------------------------------------------------------
    // Delivers one WM_TIMER of a running timer; false if that timer is not running.
    bool fireTimer(CDialog& dialog, unsigned timerId);
    bool timerRunning(const CDialog& dialog, unsigned timerId) const;
    std::optional<unsigned> timerPeriod(const CDialog& dialog, unsigned timerId) const;
    std::vector<unsigned> runningTimers(const CDialog& dialog) const;

    // --- What windows show --------------------------------------------------------------------
    std::vector<SystemMenuItem> systemMenu(const CDialog& dialog) const;
    IconHandle icon(const CDialog& dialog, bool bigIcon) const;
    std::vector<int> tabStops(const CDialog& dialog, int controlId) const;
    // A drawn control's pixel (its client area starts white for SS_WHITERECT).
    COLORREF pixel(const CDialog& dialog, int controlId, int x, int y) const;
    int fillCount(const CDialog& dialog, int controlId) const;  // FillSolidRect calls so far
    void setIconic(CDialog& dialog, bool iconic);
    PaintRecord paint(CDialog& dialog);         // delivers WM_PAINT
    IconHandle queryDragIcon(CDialog& dialog);  // delivers WM_QUERYDRAGICON

    // --- Message boxes ------------------------------------------------------------------------
    // Every box shown, in order. The responder answers each (it may fire timers or drive
    // windows meanwhile); without one, boxes are answered with IDOK.
    const std::vector<MessageBoxRecord>& messageBoxes() const;
    void onMessageBox(std::function<int(const MessageBoxRecord& box)> responder);

    // --- Folder picker ------------------------------------------------------------------------
    // Answers BrowseForFolder; without an answerer the picker is cancelled.
    void onFolderPicker(std::function<std::optional<std::string>(std::string_view title)> answer);
    const std::vector<std::string>& folderPickerTitles() const;

    // --- Workers ------------------------------------------------------------------------------
    // Runs the calls that workers have carried to the window's thread so far; returns how many.
    int pump();
    // Serves carried calls until no worker is running. False if `limit` passed first.
    bool runUntilWorkersEnd(std::chrono::milliseconds limit = std::chrono::seconds(30));
    // Waits until a carried call is pending or no worker runs, then serves what is pending.
    // False if `limit` passed with nothing to do while a worker still runs.
    bool pumpOnce(std::chrono::milliseconds limit = std::chrono::seconds(30));

    // --- Application ---------------------------------------------------------------------------
    const std::vector<std::string>& registeredSettingsKeys() const;
    void setAppName(std::string name);  // else the executable's name

    // The headless icon resource behind a handle; 0 for nullptr.
    static int iconResourceId(IconHandle icon);
};

}  // namespace kelvra::platform::headless
