#pragma once

#include <QMessageBox>
#include <QString>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/PrivateRuntimeDir.h"
#include "tests/support/SimulatorProcess.h"
#include "tools/blocksim/Scenario.h"
#include "ui/MainDlg.h"

namespace kelvra::test {

// The tool as it runs on Linux: the main window on the Qt backend with the POSIX serial
// backend, the computer's clock and its real one-second timer, against the blocks of a
// scenario that kelvra-blocksim serves on pseudo-terminals in a private port directory.
class QtStation {
public:
    explicit QtStation(const std::string& scenarioJson);
    ~QtStation();
    QtStation(const QtStation&) = delete;
    QtStation& operator=(const QtStation&) = delete;

    // Runs the main window modally while `user` acts from inside its event loop, and closes it
    // when `user` returns. Past `limit` every open window is sent away and the test fails, so
    // that a window nobody answers cannot hang the run.
    void run(const std::function<void()>& user,
             std::chrono::milliseconds limit = std::chrono::seconds(30));

    CMainDlg& window() { return *window_; }
    const blocksim::BlockSetup& setup(int com) const;
    // The simulator's status line of the block on COM<com>, or "" when it gave none.
    std::string blockStatus(int com);

private:
    std::string previousDirectory_;
    PrivateRuntimeDir runtime_;
    blocksim::Scenario scenario_;
    std::unique_ptr<SimulatorProcess> simulator_;
    std::unique_ptr<CMainDlg> window_;
};

// What a user does with the windows: every call goes through Qt's input events.
namespace user {

// Serves the windows until `done` holds; false when `timeout` passed first.
bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout);

void click(platform::CDialog& dialog, int controlId);
void doubleClick(platform::CDialog& dialog, int controlId);
void clickLine(platform::CDialog& dialog, int listId, int line);
void doubleClickLine(platform::CDialog& dialog, int listId, int line);
void typeInto(platform::CDialog& dialog, int editId, const QString& text);
void pressEscape(platform::CDialog& dialog);
std::vector<std::string> listLines(platform::CDialog& dialog, int listId);

// The next message box, once it is up: its text goes to *text and `button` is pressed.
void answerMessageBox(QMessageBox::StandardButton button, std::string* text = nullptr);
// The next folder picker, once it is up: its title goes to *title and `folder` is chosen.
void pickFolder(const std::string& folder, std::string* title = nullptr);
// The next dialog opened above `below`, once it is up and takes the input: `act` uses it.
void whenDialogUp(const platform::CDialog& below, std::function<void(platform::CDialog&)> act);
// Opens the window's system menu (its context menu here) and chooses the item `text`. The
// items that were offered go to *offered; "-" stands for a separator.
void chooseSystemMenuItem(platform::CDialog& dialog, const QString& text,
                          std::vector<QString>* offered = nullptr);

}  // namespace user

}  // namespace kelvra::test
