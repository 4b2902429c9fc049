#include "platform/qt/QtControls.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

#include "platform/dialog/WinDefs.h"

namespace kelvra::platform::qtui {

NotifyLabel::NotifyLabel(const QString& text, QWidget* parent, Notify notify)
    : QLabel(text, parent), notify_(std::move(notify)) {}

void NotifyLabel::mouseDoubleClickEvent(QMouseEvent* event) {
    QLabel::mouseDoubleClickEvent(event);
    if (isEnabled() && event->button() == Qt::LeftButton) {
        notify_(STN_DBLCLK);
    }
}

WhiteRect::WhiteRect(QWidget* parent) : QFrame(parent) {
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(1);
}

// The client area may be drawn into before the control was ever shown or resized.
void WhiteRect::matchClientArea() {
    if (image_.size() == contentsRect().size()) {
        return;
    }
    QImage resized(contentsRect().size(), QImage::Format_RGB32);
    resized.fill(Qt::white);
    QPainter painter(&resized);
    painter.drawImage(0, 0, image_);
    image_ = resized;
}

void WhiteRect::fill(const CRect& rect, COLORREF color) {
    matchClientArea();
    QPainter painter(&image_);
    painter.fillRect(QRect(rect.left, rect.top, rect.Width(), rect.Height()),
                     QColor(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                            static_cast<int>((color >> 16) & 0xFF)));
    update();
}

void WhiteRect::paintEvent(QPaintEvent* event) {
    matchClientArea();
    QFrame::paintEvent(event);
    QPainter painter(this);
    painter.drawImage(contentsRect().topLeft(), image_);
}

int TabStopDelegate::nextStop(int x) const {
    if (stops_.empty()) {
        return x + 1;
    }
    if (stops_.size() > 1) {
        for (int stop : stops_) {
            if (stop > x) {
                return stop;
            }
        }
    }
    int last = stops_.back();
    int interval = stops_.size() > 1 ? last - stops_[stops_.size() - 2] : last;
    if (interval <= 0) {
        return x + 1;
    }
    int from = stops_.size() > 1 ? last : 0;
    return from + ((x - from) / interval + 1) * interval;
}

void TabStopDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
    QStyleOptionViewItem item = option;
    initStyleOption(&item, index);
    QString text = item.text;
    item.text.clear();
    const QWidget* widget = option.widget;
    QStyle* style = widget != nullptr ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &item, painter, widget);

    QRect area = style->subElementRect(QStyle::SE_ItemViewItemText, &item, widget);
    painter->save();
    painter->setFont(item.font);
    painter->setPen(item.palette.color(
        QPalette::Normal,
        (option.state & QStyle::State_Selected) != 0 ? QPalette::HighlightedText : QPalette::Text));
    const QFontMetrics metrics(item.font);
    int x = 0;
    const QStringList parts = text.split(QLatin1Char('\t'));
    for (qsizetype i = 0; i < parts.size(); ++i) {
        if (i > 0) {
            x = nextStop(x);
        }
        painter->drawText(QRect(area.left() + x, area.top(), area.width() - x, area.height()),
                          Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, parts[i]);
        x += metrics.horizontalAdvance(parts[i]);
    }
    painter->restore();
}

ListBox::ListBox(QWidget* parent, bool multipleSelection, Notify notify)
    : QListWidget(parent), notify_(std::move(notify)), delegate_(new TabStopDelegate(this)) {
    setSelectionMode(multipleSelection ? QAbstractItemView::MultiSelection
                                       : QAbstractItemView::SingleSelection);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setItemDelegate(delegate_);
    setUniformItemSizes(true);
}

QList<QModelIndex> ListBox::selection() const {
    QList<QModelIndex> rows = selectedIndexes();
    std::sort(rows.begin(), rows.end());
    return rows;
}

void ListBox::afterUserAction(const QList<QModelIndex>& before) {
    if (selection() != before) {
        notify_(LBN_SELCHANGE);
    }
}

void ListBox::mousePressEvent(QMouseEvent* event) {
    QList<QModelIndex> before = selection();
    QListWidget::mousePressEvent(event);
    afterUserAction(before);
}

void ListBox::keyPressEvent(QKeyEvent* event) {
    QList<QModelIndex> before = selection();
    QListWidget::keyPressEvent(event);
    afterUserAction(before);
}

void ListBox::mouseDoubleClickEvent(QMouseEvent* event) {
    QListWidget::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton && indexAt(event->position().toPoint()).isValid()) {
        notify_(LBN_DBLCLK);
    }
}

}  // namespace kelvra::platform::qtui
