#pragma once

#include <QFrame>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QStyledItemDelegate>

#include <functional>
#include <vector>

#include "platform/dialog/WinDefs.h"

// Qt widgets standing in for the Windows controls that the dialog templates name.
namespace kelvra::platform::qtui {

// Tells the dialog about a control notification (WM_COMMAND code).
using Notify = std::function<void(unsigned code)>;

// A static text that reports double-clicks (SS_NOTIFY).
class NotifyLabel : public QLabel {
public:
    NotifyLabel(const QString& text, QWidget* parent, Notify notify);

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    Notify notify_;
};

// A white rectangle with a sunken frame (SS_WHITERECT | SS_SUNKEN) that keeps what is drawn
// into its client area, as solid fills.
class WhiteRect : public QFrame {
public:
    explicit WhiteRect(QWidget* parent);

    QRect clientRect() const { return QRect(QPoint(0, 0), contentsRect().size()); }
    void fill(const CRect& rect, COLORREF color);
    QImage image() const { return image_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void matchClientArea();

    QImage image_;
};

// Draws list lines with their tab characters expanded at tab stops given in pixels.
class TabStopDelegate : public QStyledItemDelegate {
public:
    explicit TabStopDelegate(QObject* parent) : QStyledItemDelegate(parent) {}

    // One stop: every that many pixels; several: at those positions, then every last interval.
    void setStops(std::vector<int> pixels) { stops_ = std::move(pixels); }
    int nextStop(int x) const;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

private:
    std::vector<int> stops_;
};

// A list box: notifies selection changes made by the user and double-clicks.
class ListBox : public QListWidget {
public:
    ListBox(QWidget* parent, bool multipleSelection, Notify notify);

    TabStopDelegate* delegate() const { return delegate_; }

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QList<QModelIndex> selection() const;
    void afterUserAction(const QList<QModelIndex>& before);

    Notify notify_;
    TabStopDelegate* delegate_;
};

}  // namespace kelvra::platform::qtui
