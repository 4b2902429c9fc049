#pragma once

#include <QDialog>
#include <QIcon>
#include <QPointer>
#include <QTimer>

#include <map>
#include <memory>
#include <vector>

#include "platform/dialog/CDialog.h"
#include "platform/dialog/DialogTemplate.h"
#include "platform/dialog/backend/NativeDialog.h"

namespace kelvra::platform {

struct IconResource {
    int id;
    QIcon icon;
};

namespace qtui {

class ListBox;
class QtDialog;

// The top-level widget: routes keys, the close box, the system menu and painting to the
// CDialog's message table.
class DialogWidget : public QDialog {
public:
    DialogWidget(QtDialog& owner, CDialog& dialog, QWidget* parent, Qt::WindowFlags flags);

    QPainter* painter = nullptr;  // set while WM_PAINT is being handled

    void reject() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QtDialog& owner_;
    CDialog& dialog_;
};

// A CDialog's window as Qt widgets laid out from its template.
class QtDialog final : public NativeDialog {
public:
    QtDialog(CDialog& dialog, const DialogTemplate& tmpl, QWidget* owner);
    ~QtDialog() override;

    DialogWidget* widget() const { return widget_; }
    QWidget* control(int id) const;

    // Dialog units to pixels with this dialog's font's base units.
    int toPixelsX(int dialogUnits) const;
    int toPixelsY(int dialogUnits) const;

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
    friend class DialogWidget;

    void createControls();
    ListBox* list(int id) const;

    CDialog& dialog_;
    const DialogTemplate& tmpl_;
    QPointer<DialogWidget> widget_;
    int baseX_ = 6;
    int baseY_ = 13;
    std::map<int, QWidget*> controls_;
    std::map<unsigned, std::unique_ptr<QTimer>> timers_;
    struct MenuItem {
        unsigned flags;
        unsigned command;
        QString text;
    };
    std::vector<MenuItem> systemMenu_;
    bool focusFirst_ = true;
};

}  // namespace qtui
}  // namespace kelvra::platform
