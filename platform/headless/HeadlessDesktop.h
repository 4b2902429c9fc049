#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/dialog/CDialog.h"
#include "platform/dialog/DialogTemplate.h"
#include "platform/dialog/backend/CallCarrier.h"
#include "platform/dialog/backend/NativeDialog.h"
#include "platform/headless/DialogDriver.h"

// The headless backend's state: windows as data, shared by the backend and the test driver.
namespace kelvra::platform {

struct IconResource {
    int id;
};

namespace headless {

struct Control {
    const ControlTemplate* tmpl = nullptr;
    std::string text;
    bool enabled = true;
    bool visible = true;
    // List boxes.
    std::vector<std::string> lines;
    std::vector<bool> selected;
    int caret = 0;
    std::vector<int> tabStops;
    // Drawing: the client area's pixels, row by row.
    int width = 0;
    int height = 0;
    std::vector<COLORREF> pixels;
    int fills = 0;
};

class Window final : public NativeDialog {
public:
    Window(CDialog& dialog, const DialogTemplate& tmpl, CDialog* owner);
    ~Window() override;  // the desktop forgets the window

    CDialog& dialog;
    const DialogTemplate& tmpl;
    CDialog* const owner;
    std::vector<Control> controls;  // in tab order
    int focus = 0;
    std::map<unsigned, unsigned> timers;
    std::vector<SystemMenuItem> systemMenu;
    IconHandle bigIcon = nullptr;
    IconHandle smallIcon = nullptr;
    bool iconic = false;
    PaintRecord lastPaint;
    int clientWidth = 0;
    int clientHeight = 0;

    Control* find(int id);

    void show(bool focusFirst) override;
    void runModalLoop() override;
    void endModalLoop() override {}

    void setItemText(int id, std::string_view text) override;
    std::string itemText(int id) override;
    void enableItem(int id, bool enable) override;
    bool itemEnabled(int id) override;
    void showItem(int id, bool show) override;
    bool itemVisible(int id) override;
    void focusItem(int id) override;
    int focusedItem() override { return focus; }
    void selectAllText(int) override {}

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
    bool isIconic() override { return iconic; }
    void paintIconic(IconHandle icon) override;
};

// Everything the headless desktop holds; reset by each DialogDriver.
struct Desktop {
    std::map<const CDialog*, Window*> windows;
    std::function<void(CDialog&)> modalHandler;
    std::vector<int> modalRuns;
    std::vector<MessageBoxRecord> messageBoxes;
    std::function<int(const MessageBoxRecord&)> messageBoxResponder;
    int openBoxes = 0;
    std::function<std::optional<std::string>(std::string_view)> folderAnswer;
    std::vector<std::string> folderTitles;
    std::vector<std::string> settingsKeys;
    std::optional<std::string> appName;
    CallCarrier carrier;

    void reset();
};

Desktop& desktop();

// Dialog units to pixels, rounded as the platform does.
int toPixelsX(int dialogUnits);
int toPixelsY(int dialogUnits);

}  // namespace headless
}  // namespace kelvra::platform
