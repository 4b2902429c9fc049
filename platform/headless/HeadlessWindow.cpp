#include <algorithm>

#include "platform/dialog/backend/DialogAccess.h"
#include "platform/headless/HeadlessDesktop.h"

namespace kelvra::platform::headless {

namespace {

constexpr COLORREF kWhite = 0xFFFFFF;

int mulDiv(int value, int numerator, int denominator) {
    long long scaled = static_cast<long long>(value) * numerator;
    long long half = denominator / 2;
    return static_cast<int>(scaled >= 0 ? (scaled + half) / denominator
                                        : (scaled - half) / denominator);
}

bool isList(const Control* control) {
    return control != nullptr && control->tmpl->kind == ControlKind::ListBox;
}

}  // namespace

int toPixelsX(int dialogUnits) {
    return mulDiv(dialogUnits, kBaseUnitX, 4);
}
int toPixelsY(int dialogUnits) {
    return mulDiv(dialogUnits, kBaseUnitY, 8);
}

Window::Window(CDialog& owned, const DialogTemplate& dialogTemplate, CDialog* ownerDialog)
    : dialog(owned), tmpl(dialogTemplate), owner(ownerDialog) {
    clientWidth = toPixelsX(tmpl.cx);
    clientHeight = toPixelsY(tmpl.cy);
    for (const ControlTemplate& item : tmpl.controls) {
        Control& control = controls.emplace_back();
        control.tmpl = &item;
        control.text = std::string(item.text);
        control.visible = (item.style & style::kWsVisible) != 0;
        int frame = (item.style & style::kSsSunken) != 0 ? 2 : 0;
        control.width = std::max(0, toPixelsX(item.cx) - frame);
        control.height = std::max(0, toPixelsY(item.cy) - frame);
        if (item.kind == ControlKind::Static &&
            (item.style & style::kSsTypeMask) == style::kSsWhiteRect) {
            control.text.clear();
            control.pixels.assign(static_cast<std::size_t>(control.width * control.height), kWhite);
        }
    }
}

Window::~Window() {
    desktop().windows.erase(&dialog);
}

Control* Window::find(int id) {
    if (id == -1) {
        return nullptr;
    }
    for (Control& control : controls) {
        if (control.tmpl->id == id) {
            return &control;
        }
    }
    return nullptr;
}

void Window::show(bool focusFirst) {
    if (!focusFirst) {
        return;
    }
    for (const Control& control : controls) {
        if ((control.tmpl->style & style::kWsTabStop) != 0 && control.visible && control.enabled) {
            focus = control.tmpl->id;
            return;
        }
    }
}

void Window::runModalLoop() {
    Desktop& state = desktop();
    state.modalRuns.push_back(dialog.GetTemplateId());
    if (state.modalHandler && !DialogAccess::hasEnded(dialog)) {
        std::function<void(CDialog&)> handler = state.modalHandler;
        handler(dialog);
    }
    if (!DialogAccess::hasEnded(dialog)) {
        DialogAccess::systemClose(dialog);
    }
    if (!DialogAccess::hasEnded(dialog)) {
        dialog.EndDialog(IDCANCEL);
    }
}

void Window::setItemText(int id, std::string_view text) {
    if (Control* control = find(id)) {
        control->text = std::string(text);
    }
}

std::string Window::itemText(int id) {
    Control* control = find(id);
    return control != nullptr ? control->text : std::string();
}

void Window::enableItem(int id, bool enable) {
    if (Control* control = find(id)) {
        control->enabled = enable;
        if (!enable && focus == id) {
            focus = 0;
        }
    }
}

bool Window::itemEnabled(int id) {
    Control* control = find(id);
    return control != nullptr && control->enabled;
}

void Window::showItem(int id, bool show) {
    if (Control* control = find(id)) {
        control->visible = show;
        if (!show && focus == id) {
            focus = 0;
        }
    }
}

bool Window::itemVisible(int id) {
    Control* control = find(id);
    return control != nullptr && control->visible;
}

void Window::focusItem(int id) {
    if (find(id) != nullptr) {
        focus = id;
    }
}

void Window::listReset(int id) {
    Control* control = find(id);
    if (isList(control)) {
        control->lines.clear();
        control->selected.clear();
        control->caret = 0;
    }
}

void Window::listSetTabStops(int id, std::span<const int> stops) {
    Control* control = find(id);
    if (isList(control)) {
        control->tabStops.assign(stops.begin(), stops.end());
    }
}

int Window::listInsert(int id, int index, std::string_view text) {
    Control* control = find(id);
    if (!isList(control)) {
        return LB_ERR;
    }
    int count = static_cast<int>(control->lines.size());
    if (index < -1 || index > count) {
        return LB_ERR;
    }
    int at = index == -1 ? count : index;
    control->lines.insert(control->lines.begin() + at, std::string(text));
    control->selected.insert(control->selected.begin() + at, false);
    if (at <= control->caret && count > 0) {
        ++control->caret;
    }
    return at;
}

int Window::listCount(int id) {
    Control* control = find(id);
    return isList(control) ? static_cast<int>(control->lines.size()) : LB_ERR;
}

std::string Window::listText(int id, int index) {
    Control* control = find(id);
    if (!isList(control) || index < 0 || index >= static_cast<int>(control->lines.size())) {
        return {};
    }
    return control->lines[static_cast<std::size_t>(index)];
}

int Window::listSelCount(int id) {
    Control* control = find(id);
    if (!isList(control)) {
        return LB_ERR;
    }
    return static_cast<int>(std::count(control->selected.begin(), control->selected.end(), true));
}

int Window::listSelItems(int id, int maxItems, int* indexes) {
    Control* control = find(id);
    if (!isList(control)) {
        return LB_ERR;
    }
    int written = 0;
    for (std::size_t i = 0; i < control->selected.size() && written < maxItems; ++i) {
        if (control->selected[i]) {
            indexes[written++] = static_cast<int>(i);
        }
    }
    return written;
}

bool Window::listGetSel(int id, int index) {
    Control* control = find(id);
    return isList(control) && index >= 0 && index < static_cast<int>(control->selected.size()) &&
           control->selected[static_cast<std::size_t>(index)];
}

int Window::listSetSel(int id, int index, bool select) {
    Control* control = find(id);
    if (!isList(control)) {
        return LB_ERR;
    }
    if (index == -1) {
        std::fill(control->selected.begin(), control->selected.end(), select);
        return 0;
    }
    if (index < 0 || index >= static_cast<int>(control->selected.size())) {
        return LB_ERR;
    }
    control->selected[static_cast<std::size_t>(index)] = select;
    return 0;
}

int Window::listCaret(int id) {
    Control* control = find(id);
    return isList(control) ? control->caret : LB_ERR;
}

int Window::listSetCaret(int id, int index) {
    Control* control = find(id);
    if (!isList(control) || index < 0 || index >= static_cast<int>(control->lines.size())) {
        return LB_ERR;
    }
    control->caret = index;
    return 0;
}

CRect Window::clientRect(int id) {
    Control* control = find(id);
    return control != nullptr ? CRect{0, 0, control->width, control->height} : CRect{};
}

void Window::fillRect(int id, const CRect& rect, COLORREF color) {
    Control* control = find(id);
    if (control == nullptr || control->pixels.empty()) {
        return;
    }
    ++control->fills;
    int left = std::clamp(rect.left, 0, control->width);
    int right = std::clamp(rect.right, 0, control->width);
    int top = std::clamp(rect.top, 0, control->height);
    int bottom = std::clamp(rect.bottom, 0, control->height);
    for (int y = top; y < bottom; ++y) {
        for (int x = left; x < right; ++x) {
            control->pixels[static_cast<std::size_t>(y * control->width + x)] = color;
        }
    }
}

bool Window::setTimer(unsigned timerId, unsigned elapseMs) {
    timers[timerId] = elapseMs;
    return true;
}

bool Window::killTimer(unsigned timerId) {
    return timers.erase(timerId) > 0;
}

bool Window::hasSystemMenu() {
    return (tmpl.style & style::kWsSysMenu) != 0;
}

void Window::appendSystemMenu(unsigned flags, unsigned command, std::string_view text) {
    if (hasSystemMenu()) {
        systemMenu.push_back({flags, command, std::string(text)});
    }
}

void Window::setIcon(IconHandle icon, bool big) {
    (big ? bigIcon : smallIcon) = icon;
}

void Window::paintIconic(IconHandle icon) {
    lastPaint.backgroundErased = true;
    lastPaint.icon = icon;
    lastPaint.x = (clientWidth - kIconSize + 1) / 2;
    lastPaint.y = (clientHeight - kIconSize + 1) / 2;
}

}  // namespace kelvra::platform::headless
