#include <map>
#include <memory>

#include "platform/dialog/ResourceTable.h"
#include "platform/dialog/backend/Backend.h"
#include "platform/dialog/backend/Process.h"
#include "platform/headless/HeadlessDesktop.h"

namespace kelvra::platform {

namespace headless {

void Desktop::reset() {
    windows.clear();
    modalHandler = nullptr;
    modalRuns.clear();
    messageBoxes.clear();
    messageBoxResponder = nullptr;
    openBoxes = 0;
    folderAnswer = nullptr;
    folderTitles.clear();
    settingsKeys.clear();
    appName.reset();
}

Desktop& desktop() {
    static Desktop instance;
    return instance;
}

}  // namespace headless

namespace backend {

std::unique_ptr<NativeDialog> createDialog(CDialog& dialog, const DialogTemplate& tmpl,
                                           CDialog* owner) {
    auto window = std::make_unique<headless::Window>(dialog, tmpl, owner);
    headless::desktop().windows[&dialog] = window.get();
    return window;
}

int messageBox(CDialog*, std::string_view text, std::string_view title, unsigned type) {
    headless::Desktop& state = headless::desktop();
    headless::MessageBoxRecord record{std::string(text), std::string(title), type};
    state.messageBoxes.push_back(record);
    int answer = IDOK;
    if (state.messageBoxResponder) {
        ++state.openBoxes;
        answer = state.messageBoxResponder(record);
        --state.openBoxes;
    }
    if ((type & MB_TYPEMASK) == MB_OK || (answer != IDOK && answer != IDCANCEL)) {
        answer = IDOK;
    }
    return answer;
}

void openCarrier() {
    headless::desktop().carrier.open();
}
void closeCarrier() {
    headless::desktop().carrier.close();
}
bool carry(const std::function<void()>& call) {
    return headless::desktop().carrier.carry(call);
}
void waitForWorkers() {}
void workerEnded() {
    headless::desktop().carrier.notify();
}

std::optional<std::string> browseForFolder(std::string_view title) {
    headless::Desktop& state = headless::desktop();
    state.folderTitles.emplace_back(title);
    if (!state.folderAnswer) {
        return std::nullopt;
    }
    return state.folderAnswer(title);
}

bool changeCurrentDirectory(std::string_view path) {
    return changeProcessDirectory(path);
}

IconHandle loadIcon(int iconId) {
    static std::map<int, IconResource> icons;
    if (drawIconResource(iconId, 16).empty()) {
        return nullptr;
    }
    return &icons.try_emplace(iconId, IconResource{iconId}).first->second;
}

std::string loadString(int stringId) {
    return std::string(findStringResource(stringId));
}

std::string executableName() {
    const std::optional<std::string>& name = headless::desktop().appName;
    return name ? *name : processExecutableName();
}

void registerSettingsKey(std::string_view key) {
    headless::desktop().settingsKeys.emplace_back(key);
}

void initCommonControls() {}

int runProgram(int, char**, const std::function<int()>& run) {
    return run();
}

}  // namespace backend
}  // namespace kelvra::platform
