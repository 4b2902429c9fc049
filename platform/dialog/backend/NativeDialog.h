#pragma once

#include <span>
#include <string>
#include <string_view>

#include "platform/dialog/WinDefs.h"

// Framework internals: what each backend provides behind a CDialog. Application code does not
// include this.
namespace kelvra::platform {

// The window of one open dialog. Every call is made on the window's thread.
class NativeDialog {
public:
    virtual ~NativeDialog() = default;

    // After OnInitDialog: shows the window; with `focusFirst`, the first control in tab order
    // that takes the focus gets it.
    virtual void show(bool focusFirst) = 0;
    // Handles messages until the dialog has ended (DialogAccess::hasEnded).
    virtual void runModalLoop() = 0;
    // The dialog has ended: the loop must return once the current message is handled.
    virtual void endModalLoop() = 0;

    virtual void setItemText(int id, std::string_view text) = 0;
    virtual std::string itemText(int id) = 0;
    virtual void enableItem(int id, bool enable) = 0;
    virtual bool itemEnabled(int id) = 0;
    virtual void showItem(int id, bool show) = 0;
    virtual bool itemVisible(int id) = 0;
    virtual void focusItem(int id) = 0;
    virtual int focusedItem() = 0;
    virtual void selectAllText(int id) = 0;

    virtual void listReset(int id) = 0;
    virtual void listSetTabStops(int id, std::span<const int> stops) = 0;
    virtual int listInsert(int id, int index, std::string_view text) = 0;
    virtual int listCount(int id) = 0;
    virtual std::string listText(int id, int index) = 0;
    virtual int listSelCount(int id) = 0;
    virtual int listSelItems(int id, int maxItems, int* indexes) = 0;
    virtual bool listGetSel(int id, int index) = 0;
    virtual int listSetSel(int id, int index, bool select) = 0;
    virtual int listCaret(int id) = 0;
    virtual int listSetCaret(int id, int index) = 0;

    virtual CRect clientRect(int id) = 0;
    virtual void fillRect(int id, const CRect& rect, COLORREF color) = 0;

    virtual bool setTimer(unsigned timerId, unsigned elapseMs) = 0;
    virtual bool killTimer(unsigned timerId) = 0;

    virtual bool hasSystemMenu() = 0;
    virtual void appendSystemMenu(unsigned flags, unsigned command, std::string_view text) = 0;
    virtual void setIcon(IconHandle icon, bool bigIcon) = 0;
    virtual bool isIconic() = 0;
    virtual void paintIconic(IconHandle icon) = 0;
};

}  // namespace kelvra::platform
