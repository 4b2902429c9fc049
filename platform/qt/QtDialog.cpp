#include "platform/qt/QtDialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPushButton>

#include <algorithm>

#include "platform/dialog/backend/Backend.h"
#include "platform/dialog/backend/DialogAccess.h"
#include "platform/qt/QtControls.h"
#include "platform/qt/QtDialogAccess.h"

namespace kelvra::platform::qtui {

namespace {

int mulDiv(int value, int numerator, int denominator) {
    long long scaled = static_cast<long long>(value) * numerator;
    return static_cast<int>((scaled + denominator / 2) / denominator);
}

QString fromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string toUtf8(const QString& text) {
    return text.toUtf8().toStdString();
}

}  // namespace

DialogWidget::DialogWidget(QtDialog& owner, CDialog& dialog, QWidget* parent, Qt::WindowFlags flags)
    : QDialog(parent, flags), owner_(owner), dialog_(dialog) {}

void DialogWidget::reject() {
    if (!DialogAccess::hasEnded(dialog_)) {
        DialogAccess::command(dialog_, IDCANCEL, BN_CLICKED);
    }
}

void DialogWidget::keyPressEvent(QKeyEvent* event) {
    if (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier) {
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
            auto* button = qobject_cast<QPushButton*>(focusWidget());
            if (button != nullptr && button->isEnabled()) {
                button->click();
            } else {
                DialogAccess::command(dialog_, IDOK, BN_CLICKED);
            }
            return;
        }
        if (event->key() == Qt::Key_Escape) {
            DialogAccess::command(dialog_, IDCANCEL, BN_CLICKED);
            return;
        }
    }
    QDialog::keyPressEvent(event);
}

void DialogWidget::closeEvent(QCloseEvent* event) {
    if (!DialogAccess::hasEnded(dialog_)) {
        event->ignore();
        DialogAccess::systemClose(dialog_);
    } else {
        QDialog::closeEvent(event);
    }
}

// Qt has no system menu of a window: its own items are offered as the window's context menu.
void DialogWidget::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    for (const QtDialog::MenuItem& item : owner_.systemMenu_) {
        if (item.flags == MF_SEPARATOR) {
            menu.addSeparator();
        } else {
            unsigned command = item.command;
            menu.addAction(item.text, this, [this, command] {
                DialogAccess::dispatch(dialog_, MessageArgs{WM_SYSCOMMAND, 0, 0, command});
            });
        }
    }
    if (!menu.actions().isEmpty()) {
        menu.exec(event->globalPos());
    }
}

void DialogWidget::paintEvent(QPaintEvent* event) {
    QPainter paint(this);
    painter = &paint;
    DispatchResult result = DialogAccess::dispatch(dialog_, MessageArgs{WM_PAINT});
    painter = nullptr;
    paint.end();
    if (result.useDefault || !result.handled) {
        QDialog::paintEvent(event);
    }
}

QtDialog::QtDialog(CDialog& dialog, const DialogTemplate& tmpl, QWidget* owner)
    : dialog_(dialog), tmpl_(tmpl) {
    Qt::WindowFlags flags = (owner != nullptr ? Qt::Dialog : Qt::Window) | Qt::CustomizeWindowHint |
                            Qt::WindowTitleHint;
    if ((tmpl.style & style::kWsSysMenu) != 0) {
        flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    }
    if ((tmpl.style & style::kWsMinimizeBox) != 0) {
        flags |= Qt::WindowMinimizeButtonHint;
    }
    widget_ = new DialogWidget(*this, dialog, owner, flags);
    widget_->setWindowTitle(fromUtf8(tmpl.caption));
    widget_->setModal(true);

    QFont font(fromUtf8(tmpl.fontName));
    font.setPointSize(tmpl.fontPointSize);
    widget_->setFont(font);
    // The dialog base units of the font: its average character width and its height.
    const QFontMetrics metrics(widget_->font());
    int alphabet = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    baseX_ = std::max(1, (alphabet / 26 + 1) / 2);
    baseY_ = std::max(1, metrics.height());
    widget_->setFixedSize(toPixelsX(tmpl.cx), toPixelsY(tmpl.cy));
    createControls();
}

QtDialog::~QtDialog() {
    timers_.clear();
    delete widget_.data();
}

int QtDialog::toPixelsX(int dialogUnits) const {
    return mulDiv(dialogUnits, baseX_, 4);
}
int QtDialog::toPixelsY(int dialogUnits) const {
    return mulDiv(dialogUnits, baseY_, 8);
}

void QtDialog::createControls() {
    QWidget* previous = nullptr;
    for (const ControlTemplate& item : tmpl_.controls) {
        QWidget* control = nullptr;
        QString text = fromUtf8(item.text);
        int id = item.id;
        Notify notify = [this, id](unsigned code) { DialogAccess::command(dialog_, id, code); };
        switch (item.kind) {
            case ControlKind::PushButton: {
                auto* button = new QPushButton(text, widget_);
                button->setAutoDefault(false);
                QObject::connect(button, &QPushButton::clicked, widget_,
                                 [notify] { notify(BN_CLICKED); });
                control = button;
                break;
            }
            case ControlKind::GroupBox:
                control = new QGroupBox(text, widget_);
                control->setFocusPolicy(Qt::NoFocus);
                break;
            case ControlKind::Edit:
                control = new QLineEdit(text, widget_);
                break;
            case ControlKind::ListBox:
                control = new ListBox(widget_, (item.style & style::kLbsMultipleSel) != 0,
                                      (item.style & style::kLbsNotify) != 0 ? notify : Notify());
                break;
            case ControlKind::Static:
                if ((item.style & style::kSsTypeMask) == style::kSsWhiteRect) {
                    control = new WhiteRect(widget_);
                } else if ((item.style & style::kSsTypeMask) == style::kSsIcon) {
                    auto* label = new QLabel(widget_);
                    if (IconHandle icon = backend::loadIcon(text.toInt())) {
                        label->setPixmap(icon->icon.pixmap(32, 32));
                    }
                    control = label;
                } else if ((item.style & style::kSsNotify) != 0) {
                    control = new NotifyLabel(text, widget_, notify);
                } else {
                    control = new QLabel(text, widget_);
                }
                break;
        }
        control->setGeometry(toPixelsX(item.x), toPixelsY(item.y), toPixelsX(item.cx),
                             toPixelsY(item.cy));
        control->setVisible((item.style & style::kWsVisible) != 0);
        control->setFocusPolicy((item.style & style::kWsTabStop) != 0 ? Qt::StrongFocus
                                                                      : Qt::NoFocus);
        if ((item.style & style::kWsTabStop) != 0) {
            if (previous != nullptr) {
                QWidget::setTabOrder(previous, control);
            }
            previous = control;
        }
        control->setObjectName(QStringLiteral("control%1").arg(id));
        if (id != -1) {
            controls_[id] = control;
        }
        if (item.kind == ControlKind::ListBox && (item.style & style::kLbsUseTabStops) != 0) {
            const int kDefaultStop = 32;
            listSetTabStops(id, std::span<const int>(&kDefaultStop, 1));
        }
    }
}

QWidget* QtDialog::control(int id) const {
    auto it = controls_.find(id);
    return it != controls_.end() ? it->second : nullptr;
}

ListBox* QtDialog::list(int id) const {
    return dynamic_cast<ListBox*>(control(id));
}

void QtDialog::show(bool focusFirst) {
    focusFirst_ = focusFirst;
}

void QtDialog::runModalLoop() {
    if (DialogAccess::hasEnded(dialog_)) {
        return;
    }
    if (focusFirst_) {
        for (const ControlTemplate& item : tmpl_.controls) {
            QWidget* first = control(item.id);
            if (first != nullptr && first->focusPolicy() != Qt::NoFocus && !first->isHidden() &&
                first->isEnabled()) {
                first->setFocus();
                break;
            }
        }
    }
    widget_->exec();
}

void QtDialog::endModalLoop() {
    if (widget_) {
        widget_->done(0);
    }
}

void QtDialog::setItemText(int id, std::string_view text) {
    QWidget* target = control(id);
    QString value = fromUtf8(text);
    if (auto* label = qobject_cast<QLabel*>(target)) {
        label->setText(value);
    } else if (auto* button = qobject_cast<QPushButton*>(target)) {
        button->setText(value);
    } else if (auto* edit = qobject_cast<QLineEdit*>(target)) {
        edit->setText(value);
    } else if (auto* group = qobject_cast<QGroupBox*>(target)) {
        group->setTitle(value);
    }
}

std::string QtDialog::itemText(int id) {
    QWidget* target = control(id);
    if (auto* label = qobject_cast<QLabel*>(target)) {
        return toUtf8(label->text());
    }
    if (auto* button = qobject_cast<QPushButton*>(target)) {
        return toUtf8(button->text());
    }
    if (auto* edit = qobject_cast<QLineEdit*>(target)) {
        return toUtf8(edit->text());
    }
    if (auto* group = qobject_cast<QGroupBox*>(target)) {
        return toUtf8(group->title());
    }
    return {};
}

void QtDialog::enableItem(int id, bool enable) {
    if (QWidget* target = control(id)) {
        target->setEnabled(enable);
    }
}

bool QtDialog::itemEnabled(int id) {
    QWidget* target = control(id);
    return target != nullptr && target->isEnabled();
}

void QtDialog::showItem(int id, bool show) {
    if (QWidget* target = control(id)) {
        target->setVisible(show);
    }
}

bool QtDialog::itemVisible(int id) {
    QWidget* target = control(id);
    return target != nullptr && !target->isHidden();
}

void QtDialog::focusItem(int id) {
    if (QWidget* target = control(id)) {
        target->setFocus(Qt::OtherFocusReason);
    }
}

int QtDialog::focusedItem() {
    QWidget* focus = widget_->focusWidget();
    for (const auto& [id, target] : controls_) {
        if (target == focus) {
            return id;
        }
    }
    return 0;
}

void QtDialog::selectAllText(int id) {
    if (auto* edit = qobject_cast<QLineEdit*>(control(id))) {
        edit->selectAll();
    }
}

void QtDialog::listReset(int id) {
    if (ListBox* box = list(id)) {
        box->clear();
    }
}

void QtDialog::listSetTabStops(int id, std::span<const int> stops) {
    if (ListBox* box = list(id)) {
        std::vector<int> pixels;
        for (int stop : stops) {
            pixels.push_back(toPixelsX(stop));
        }
        box->delegate()->setStops(std::move(pixels));
        box->viewport()->update();
    }
}

int QtDialog::listInsert(int id, int index, std::string_view text) {
    ListBox* box = list(id);
    if (box == nullptr || index < -1 || index > box->count()) {
        return LB_ERR;
    }
    int at = index == -1 ? box->count() : index;
    box->insertItem(at, fromUtf8(text));
    return at;
}

int QtDialog::listCount(int id) {
    ListBox* box = list(id);
    return box != nullptr ? box->count() : LB_ERR;
}

std::string QtDialog::listText(int id, int index) {
    ListBox* box = list(id);
    QListWidgetItem* line = box != nullptr ? box->item(index) : nullptr;
    return line != nullptr ? toUtf8(line->text()) : std::string();
}

int QtDialog::listSelCount(int id) {
    ListBox* box = list(id);
    return box != nullptr ? static_cast<int>(box->selectedItems().size()) : LB_ERR;
}

int QtDialog::listSelItems(int id, int maxItems, int* indexes) {
    ListBox* box = list(id);
    if (box == nullptr) {
        return LB_ERR;
    }
    int written = 0;
    for (int row = 0; row < box->count() && written < maxItems; ++row) {
        if (box->item(row)->isSelected()) {
            indexes[written++] = row;
        }
    }
    return written;
}

bool QtDialog::listGetSel(int id, int index) {
    ListBox* box = list(id);
    QListWidgetItem* line = box != nullptr ? box->item(index) : nullptr;
    return line != nullptr && line->isSelected();
}

int QtDialog::listSetSel(int id, int index, bool select) {
    ListBox* box = list(id);
    if (box == nullptr) {
        return LB_ERR;
    }
    if (index == -1) {
        for (int row = 0; row < box->count(); ++row) {
            box->item(row)->setSelected(select);
        }
        return 0;
    }
    QListWidgetItem* line = box->item(index);
    if (line == nullptr) {
        return LB_ERR;
    }
    line->setSelected(select);
    return 0;
}

int QtDialog::listCaret(int id) {
    ListBox* box = list(id);
    if (box == nullptr) {
        return LB_ERR;
    }
    return std::max(0, box->currentRow());
}

int QtDialog::listSetCaret(int id, int index) {
    ListBox* box = list(id);
    if (box == nullptr || index < 0 || index >= box->count()) {
        return LB_ERR;
    }
    box->setCurrentRow(index, QItemSelectionModel::NoUpdate);
    return 0;
}

CRect QtDialog::clientRect(int id) {
    QWidget* target = control(id);
    if (auto* rect = dynamic_cast<WhiteRect*>(target)) {
        QRect area = rect->clientRect();
        return CRect{0, 0, area.width(), area.height()};
    }
    return target != nullptr ? CRect{0, 0, target->width(), target->height()} : CRect{};
}

void QtDialog::fillRect(int id, const CRect& rect, COLORREF color) {
    if (auto* target = dynamic_cast<WhiteRect*>(control(id))) {
        target->fill(rect, color);
    }
}

bool QtDialog::setTimer(unsigned timerId, unsigned elapseMs) {
    std::unique_ptr<QTimer>& timer = timers_[timerId];
    if (!timer) {
        timer = std::make_unique<QTimer>();
        QObject::connect(timer.get(), &QTimer::timeout, widget_, [this, timerId] {
            DialogAccess::dispatch(dialog_, MessageArgs{WM_TIMER, 0, 0, timerId});
        });
    }
    timer->start(static_cast<int>(std::min<unsigned>(elapseMs, 0x7FFFFFFF)));
    return true;
}

bool QtDialog::killTimer(unsigned timerId) {
    return timers_.erase(timerId) > 0;
}

bool QtDialog::hasSystemMenu() {
    return (tmpl_.style & style::kWsSysMenu) != 0;
}

void QtDialog::appendSystemMenu(unsigned flags, unsigned command, std::string_view text) {
    if (hasSystemMenu()) {
        systemMenu_.push_back({flags, command, fromUtf8(text)});
    }
}

void QtDialog::setIcon(IconHandle icon, bool) {
    if (icon != nullptr) {
        widget_->setWindowIcon(icon->icon);
    }
}

bool QtDialog::isIconic() {
    return widget_->isMinimized();
}

void QtDialog::paintIconic(IconHandle icon) {
    QPainter* painter = widget_->painter;
    if (painter == nullptr || icon == nullptr) {
        return;
    }
    painter->fillRect(widget_->rect(), widget_->palette().window());
    constexpr int kIconSize = 32;
    painter->drawPixmap((widget_->width() - kIconSize + 1) / 2,
                        (widget_->height() - kIconSize + 1) / 2,
                        icon->icon.pixmap(kIconSize, kIconSize));
}

QWidget* dialogWidget(const CDialog& dialog) {
    auto* native = dynamic_cast<QtDialog*>(DialogAccess::native(dialog));
    return native != nullptr ? native->widget() : nullptr;
}

QWidget* dialogControl(const CDialog& dialog, int controlId) {
    auto* native = dynamic_cast<QtDialog*>(DialogAccess::native(dialog));
    return native != nullptr ? native->control(controlId) : nullptr;
}

}  // namespace kelvra::platform::qtui
