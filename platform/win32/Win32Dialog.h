#pragma once

#include <windows.h>

#include "platform/dialog/CDialog.h"
#include "platform/dialog/DialogTemplate.h"
#include "platform/dialog/backend/NativeDialog.h"

namespace kelvra::platform::win32 {

// A CDialog's window, created from its dialog resource and run by the framework's own modal
// loop, which dispatches every other window's messages (timers included) meanwhile.
class Win32Dialog final : public NativeDialog {
public:
    Win32Dialog(CDialog& dialog, HWND owner);
    ~Win32Dialog() override;

    // Creates the (hidden) window from dialog resource `templateId`.
    bool create(int templateId);
    HWND hwnd() const { return hwnd_; }

    void show(bool focusFirst) override;
    void runModalLoop() override;
    void endModalLoop() override;

    void setItemText(int id, std::string_view text) override;
    std::string itemText(int id) override;
    void enableItem(int id, bool enable) override;
    bool itemEnabled(int id) override;
    void showItem(int id, bool show) override;
    bool itemVisible(int id) override;
    void focusItem(int id) override;
    int focusedItem() override;
    void selectAllText(int id) override;

    void listReset(int id) override;
    void listSetTabStops(int id, std::span<const int> stops) override;
    int listInsert(int id, int index, std::string_view text) override;
    int listCount(int id) override;
    std::string listText(int id, int index) override;
    int listSelCount(int id) override;
    int listSelItems(int id, int maxItems, int* indexes) override;
    bool listGetSel(int id, int index) override;
    int listSetSel(int id, int index, bool select) override;
    int listCaret(int id) override;
    int listSetCaret(int id, int index) override;

    CRect clientRect(int id) override;
    void fillRect(int id, const CRect& rect, COLORREF color) override;

    bool setTimer(unsigned timerId, unsigned elapseMs) override;
    bool killTimer(unsigned timerId) override;

    bool hasSystemMenu() override;
    void appendSystemMenu(unsigned flags, unsigned command, std::string_view text) override;
    void setIcon(IconHandle icon, bool bigIcon) override;
    bool isIconic() override;
    void paintIconic(IconHandle icon) override;

private:
    static INT_PTR CALLBACK dialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR handle(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT sendTo(int id, UINT message, WPARAM wParam, LPARAM lParam);

    CDialog& dialog_;
    HWND owner_;
    HWND hwnd_ = nullptr;
    bool ownerDisabled_ = false;
    bool inPaint_ = false;
    bool painted_ = false;
};

}  // namespace kelvra::platform::win32
