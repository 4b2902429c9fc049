#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/dialog/WinDefs.h"

// Framework internals: the platform services each backend library defines.
namespace kelvra::platform {

class CDialog;
class NativeDialog;
struct DialogTemplate;

namespace backend {

// Creates the (hidden) window of `dialog` and its controls from `tmpl`, owned by `owner`
// (nullptr: none). Returns nullptr if the window could not be made.
std::unique_ptr<NativeDialog> createDialog(CDialog& dialog, const DialogTemplate& tmpl,
                                           CDialog* owner);

// A message box on the window's thread, owned by `owner` (nullptr: none).
int messageBox(CDialog* owner, std::string_view text, std::string_view title, unsigned type);

// Calls carried from workers to the window's thread. open() and close() run on the window's
// thread around the outermost window's run; carry() runs on a worker and returns after the
// call has run there (true), or at once without running it while closed (false).
void openCarrier();
void closeCarrier();
bool carry(const std::function<void()>& call);

// On the window's thread after closeCarrier(): returns when no worker runs any more, serving
// whatever the platform must meanwhile.
void waitForWorkers();

// Called on a worker as it returns.
void workerEnded();

std::optional<std::string> browseForFolder(std::string_view title);
bool changeCurrentDirectory(std::string_view path);

IconHandle loadIcon(int iconId);
std::string loadString(int stringId);

std::string executableName();
void registerSettingsKey(std::string_view key);
void initCommonControls();

// Sets up the platform for AfxWinMain, runs `run`, and tears down; returns `run`'s result.
int runProgram(int argc, char** argv, const std::function<int()>& run);

}  // namespace backend
}  // namespace kelvra::platform
