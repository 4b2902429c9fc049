#include "platform/headless/DialogDriver.h"

#include <algorithm>
#include <cassert>

#include "platform/dialog/WorkerThread.h"
#include "platform/dialog/backend/DialogAccess.h"
#include "platform/headless/HeadlessDesktop.h"

namespace kelvra::platform::headless {

namespace {

Window* windowOf(const CDialog& dialog) {
    auto it = desktop().windows.find(&dialog);
    return it != desktop().windows.end() ? it->second : nullptr;
}

// The window a user can act on: open, not ended, not covered by a modal box or dialog.
Window* inputWindow(CDialog& dialog) {
    Window* window = windowOf(dialog);
    if (window == nullptr || DialogAccess::hasEnded(dialog) || desktop().openBoxes > 0 ||
        DialogAccess::innermost() != &dialog) {
        return nullptr;
    }
    return window;
}

// A control a user can reach: visible and enabled.
Control* usable(Window* window, int controlId, ControlKind kind) {
    if (window == nullptr) {
        return nullptr;
    }
    Control* control = window->find(controlId);
    if (control == nullptr || control->tmpl->kind != kind || !control->visible ||
        !control->enabled) {
        return nullptr;
    }
    return control;
}

}  // namespace

DialogDriver::DialogDriver() {
    desktop().reset();
}

DialogDriver::~DialogDriver() {
    desktop().carrier.close();
    joinAllWorkers();
    desktop().reset();
}

void DialogDriver::open(CDialog& dialog) {
    bool opened = DialogAccess::beginRun(dialog);
    assert(opened && "the dialog's template exists and the dialog is not open yet");
    (void)opened;
}

int DialogDriver::finish(CDialog& dialog) {
    if (!DialogAccess::hasEnded(dialog)) {
        DialogAccess::systemClose(dialog);
    }
    if (!DialogAccess::hasEnded(dialog)) {
        dialog.EndDialog(IDCANCEL);
    }
    return DialogAccess::finishRun(dialog);
}

void DialogDriver::onModal(std::function<void(CDialog&)> handler) {
    desktop().modalHandler = std::move(handler);
}

const std::vector<int>& DialogDriver::modalRuns() const {
    return desktop().modalRuns;
}

CDialog* DialogDriver::topDialog() const {
    return DialogAccess::innermost();
}

bool DialogDriver::isOpen(const CDialog& dialog) const {
    return windowOf(dialog) != nullptr;
}

bool DialogDriver::hasEnded(const CDialog& dialog) const {
    return DialogAccess::hasEnded(dialog);
}

bool DialogDriver::click(CDialog& dialog, int controlId) {
    Window* window = inputWindow(dialog);
    if (usable(window, controlId, ControlKind::PushButton) == nullptr) {
        return false;
    }
    window->focus = controlId;
    DialogAccess::command(dialog, controlId, BN_CLICKED);
    return true;
}

bool DialogDriver::doubleClick(CDialog& dialog, int controlId) {
    Control* control = usable(inputWindow(dialog), controlId, ControlKind::Static);
    if (control == nullptr || (control->tmpl->style & style::kSsNotify) == 0) {
        return false;
    }
    DialogAccess::command(dialog, controlId, STN_DBLCLK);
    return true;
}

bool DialogDriver::clickLine(CDialog& dialog, int controlId, int line) {
    Window* window = inputWindow(dialog);
    Control* control = usable(window, controlId, ControlKind::ListBox);
    if (control == nullptr || line < 0 || line >= static_cast<int>(control->lines.size())) {
        return false;
    }
    auto index = static_cast<std::size_t>(line);
    if ((control->tmpl->style & style::kLbsMultipleSel) != 0) {
        control->selected[index] = !control->selected[index];
    } else {
        std::fill(control->selected.begin(), control->selected.end(), false);
        control->selected[index] = true;
    }
    control->caret = line;
    window->focus = controlId;
    if ((control->tmpl->style & style::kLbsNotify) != 0) {
        DialogAccess::command(dialog, controlId, LBN_SELCHANGE);
    }
    return true;
}

bool DialogDriver::doubleClickLine(CDialog& dialog, int controlId, int line) {
    Window* window = inputWindow(dialog);
    Control* control = usable(window, controlId, ControlKind::ListBox);
    if (control == nullptr || line < 0 || line >= static_cast<int>(control->lines.size())) {
        return false;
    }
    control->caret = line;
    window->focus = controlId;
    if ((control->tmpl->style & style::kLbsNotify) != 0) {
        DialogAccess::command(dialog, controlId, LBN_DBLCLK);
    }
    return true;
}

bool DialogDriver::typeText(CDialog& dialog, int controlId, std::string_view text) {
    Window* window = inputWindow(dialog);
    Control* control = usable(window, controlId, ControlKind::Edit);
    if (control == nullptr) {
        return false;
    }
    window->focus = controlId;
    control->text = std::string(text);
    return true;
}

bool DialogDriver::pressEnter(CDialog& dialog) {
    Window* window = inputWindow(dialog);
    if (window == nullptr) {
        return false;
    }
    if (usable(window, window->focus, ControlKind::PushButton) != nullptr) {
        DialogAccess::command(dialog, window->focus, BN_CLICKED);
    } else {
        DialogAccess::command(dialog, IDOK, BN_CLICKED);
    }
    return true;
}

bool DialogDriver::pressEscape(CDialog& dialog) {
    if (inputWindow(dialog) == nullptr) {
        return false;
    }
    DialogAccess::command(dialog, IDCANCEL, BN_CLICKED);
    return true;
}

bool DialogDriver::closeBox(CDialog& dialog) {
    Window* window = inputWindow(dialog);
    if (window == nullptr || !window->hasSystemMenu()) {
        return false;
    }
    DialogAccess::systemClose(dialog);
    return true;
}

bool DialogDriver::chooseSystemMenu(CDialog& dialog, unsigned command) {
    Window* window = inputWindow(dialog);
    if (window == nullptr) {
        return false;
    }
    auto item = std::find_if(window->systemMenu.begin(), window->systemMenu.end(),
                             [&](const SystemMenuItem& entry) {
                                 return entry.flags == MF_STRING && entry.command == command;
                             });
    if (item == window->systemMenu.end()) {
        return false;
    }
    DialogAccess::dispatch(dialog, MessageArgs{WM_SYSCOMMAND, 0, 0, command});
    return true;
}

bool DialogDriver::setFocus(CDialog& dialog, int controlId) {
    Window* window = inputWindow(dialog);
    if (window == nullptr) {
        return false;
    }
    Control* control = window->find(controlId);
    if (control == nullptr || !control->visible || !control->enabled) {
        return false;
    }
    window->focus = controlId;
    return true;
}

bool DialogDriver::fireTimer(CDialog& dialog, unsigned timerId) {
    Window* window = windowOf(dialog);
    if (window == nullptr || window->timers.count(timerId) == 0) {
        return false;
    }
    DialogAccess::dispatch(dialog, MessageArgs{WM_TIMER, 0, 0, timerId});
    return true;
}

bool DialogDriver::timerRunning(const CDialog& dialog, unsigned timerId) const {
    return timerPeriod(dialog, timerId).has_value();
}

std::optional<unsigned> DialogDriver::timerPeriod(const CDialog& dialog, unsigned timerId) const {
    Window* window = windowOf(dialog);
    if (window == nullptr) {
        return std::nullopt;
    }
    auto it = window->timers.find(timerId);
    return it != window->timers.end() ? std::optional<unsigned>(it->second) : std::nullopt;
}

std::vector<unsigned> DialogDriver::runningTimers(const CDialog& dialog) const {
    std::vector<unsigned> ids;
    if (Window* window = windowOf(dialog)) {
        for (const auto& [id, period] : window->timers) {
            ids.push_back(id);
        }
    }
    return ids;
}

std::vector<SystemMenuItem> DialogDriver::systemMenu(const CDialog& dialog) const {
    Window* window = windowOf(dialog);
    return window != nullptr ? window->systemMenu : std::vector<SystemMenuItem>();
}

IconHandle DialogDriver::icon(const CDialog& dialog, bool bigIcon) const {
    Window* window = windowOf(dialog);
    if (window == nullptr) {
        return nullptr;
    }
    return bigIcon ? window->bigIcon : window->smallIcon;
}

std::vector<int> DialogDriver::tabStops(const CDialog& dialog, int controlId) const {
    Window* window = windowOf(dialog);
    Control* control = window != nullptr ? window->find(controlId) : nullptr;
    return control != nullptr ? control->tabStops : std::vector<int>();
}

COLORREF DialogDriver::pixel(const CDialog& dialog, int controlId, int x, int y) const {
    Window* window = windowOf(dialog);
    Control* control = window != nullptr ? window->find(controlId) : nullptr;
    if (control == nullptr || control->pixels.empty() || x < 0 || y < 0 || x >= control->width ||
        y >= control->height) {
        return 0;
    }
    return control->pixels[static_cast<std::size_t>(y * control->width + x)];
}

int DialogDriver::fillCount(const CDialog& dialog, int controlId) const {
    Window* window = windowOf(dialog);
    Control* control = window != nullptr ? window->find(controlId) : nullptr;
    return control != nullptr ? control->fills : 0;
}

void DialogDriver::setIconic(CDialog& dialog, bool iconic) {
    if (Window* window = windowOf(dialog)) {
        window->iconic = iconic;
    }
}

PaintRecord DialogDriver::paint(CDialog& dialog) {
    Window* window = windowOf(dialog);
    if (window == nullptr) {
        return {};
    }
    window->lastPaint = PaintRecord{};
    DispatchResult result = DialogAccess::dispatch(dialog, MessageArgs{WM_PAINT});
    window->lastPaint.framework = result.useDefault;
    return window->lastPaint;
}

IconHandle DialogDriver::queryDragIcon(CDialog& dialog) {
    if (windowOf(dialog) == nullptr) {
        return nullptr;
    }
    DispatchResult result = DialogAccess::dispatch(dialog, MessageArgs{WM_QUERYDRAGICON});
    return result.handled ? reinterpret_cast<IconHandle>(result.value) : nullptr;
}

const std::vector<MessageBoxRecord>& DialogDriver::messageBoxes() const {
    return desktop().messageBoxes;
}

void DialogDriver::onMessageBox(std::function<int(const MessageBoxRecord&)> responder) {
    desktop().messageBoxResponder = std::move(responder);
}

void DialogDriver::onFolderPicker(
    std::function<std::optional<std::string>(std::string_view)> answer) {
    desktop().folderAnswer = std::move(answer);
}

const std::vector<std::string>& DialogDriver::folderPickerTitles() const {
    return desktop().folderTitles;
}

int DialogDriver::pump() {
    return desktop().carrier.servePending();
}

bool DialogDriver::runUntilWorkersEnd(std::chrono::milliseconds limit) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (AfxRunningWorkerCount() > 0) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return false;
        }
        desktop().carrier.waitForCall(std::min(left, std::chrono::milliseconds(50)));
        pump();
    }
    pump();
    return true;
}

bool DialogDriver::pumpOnce(std::chrono::milliseconds limit) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (pump() == 0) {
        if (AfxRunningWorkerCount() == 0) {
            return true;
        }
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return false;
        }
        desktop().carrier.waitForCall(std::min(left, std::chrono::milliseconds(50)));
    }
    return true;
}

const std::vector<std::string>& DialogDriver::registeredSettingsKeys() const {
    return desktop().settingsKeys;
}

void DialogDriver::setAppName(std::string name) {
    desktop().appName = std::move(name);
}

int DialogDriver::iconResourceId(IconHandle icon) {
    return icon != nullptr ? icon->id : 0;
}

}  // namespace kelvra::platform::headless
