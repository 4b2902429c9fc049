#include "tests/qt/QtStation.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QEventLoop>
#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "platform/clock/Clock.h"
#include "platform/dialog/backend/DialogAccess.h"
#include "platform/qt/QtDialogAccess.h"
#include "platform/serial/SerialPort.h"
#include "resources/KelvraResources.h"

namespace kelvra::test {

namespace {

using platform::CDialog;
using platform::DialogAccess;
using platform::qtui::dialogControl;
using platform::qtui::dialogWidget;

// How long a window that the test waits for may take to come up.
constexpr auto kUpTimeout = std::chrono::seconds(10);

// The name of the polls that wait for a window to come up. Those still waiting when the main
// window has closed are reported and dropped, so that none acts in a later test.
const char* const kPollName = "kelvra-window-poll";

}  // namespace

QtStation::QtStation(const std::string& scenarioJson)
    : previousDirectory_(std::filesystem::current_path().string()),
      scenario_(blocksim::parseScenario(scenarioJson)) {
    std::vector<int> ports;
    for (const blocksim::ScenarioBlock& block : scenario_.blocks) {
        ports.push_back(block.com);
    }
    runtime_.blockOtherPorts(ports);
    const std::string scenarioPath = runtime_.path() + "/scenario.json";
    std::ofstream(scenarioPath) << scenarioJson;
    SimulatorProcess::Options simulatorOptions;
    simulatorOptions.binary = KELVRA_BLOCKSIM_PATH;
    simulatorOptions.scenarioPath = scenarioPath;
    simulatorOptions.portDirectory = runtime_.portDirectory();
    simulator_ = std::make_unique<SimulatorProcess>(simulatorOptions);
    if (!simulator_->waitReady()) {
        throw std::runtime_error("kelvra-blocksim did not publish its blocks");
    }
    platform::UseResources(kelvraResources());
    window_ = std::make_unique<CMainDlg>(platform::systemSerialBackend(), platform::systemClock());
}

QtStation::~QtStation() {
    window_.reset();
    simulator_.reset();
    // A download made the chosen folder the current directory.
    std::error_code ignored;
    std::filesystem::current_path(previousDirectory_, ignored);
}

void QtStation::run(const std::function<void()>& user, std::chrono::milliseconds limit) {
    QTimer sweeper;
    sweeper.setInterval(100);
    QObject::connect(&sweeper, &QTimer::timeout, [] {
        if (QWidget* popup = QApplication::activePopupWidget()) {
            popup->close();
        } else if (QWidget* modal = QApplication::activeModalWidget()) {
            QTest::keyClick(modal, Qt::Key_Escape);
        }
    });
    QTimer::singleShot(limit, &sweeper, [&sweeper, limit] {
        ADD_FAILURE() << "the windows were still open after " << limit.count() << " ms";
        sweeper.start();
    });
    QTimer::singleShot(0, &sweeper, [this, &user] {
        QWidget* widget = dialogWidget(*window_);
        if (widget == nullptr || !QTest::qWaitForWindowExposed(widget)) {
            ADD_FAILURE() << "the main window did not come up";
        } else {
            user();
        }
        if (QWidget* still = dialogWidget(*window_); still != nullptr && window_->IsWindowOpen()) {
            still->close();
        }
    });
    window_->DoModal();
    for (QTimer* poll : QCoreApplication::instance()->findChildren<QTimer*>(
             kPollName, Qt::FindDirectChildrenOnly)) {
        if (poll->isActive()) {
            ADD_FAILURE() << poll->property("awaited").toString().toStdString()
                          << " never came up while the window ran";
        }
        delete poll;
    }
}

const blocksim::BlockSetup& QtStation::setup(int com) const {
    for (const blocksim::ScenarioBlock& block : scenario_.blocks) {
        if (block.com == com) {
            return block.setup;
        }
    }
    throw std::logic_error("no block on COM" + std::to_string(com));
}

std::string QtStation::blockStatus(int com) {
    const std::size_t before = simulator_->lines().size();
    if (!simulator_->command("status")) {
        return {};
    }
    const std::string prefix = "COM" + std::to_string(com) + " ";
    const std::vector<std::string>& lines = simulator_->lines();
    for (std::size_t i = before; i < lines.size(); ++i) {
        if (lines[i].rfind(prefix, 0) == 0) {
            return lines[i];
        }
    }
    return {};
}

namespace user {

namespace {

QWidget* controlOf(CDialog& dialog, int controlId) {
    QWidget* control = dialogControl(dialog, controlId);
    EXPECT_NE(control, nullptr) << "no control " << controlId << " on the screen";
    return control;
}

QListWidget* lineOf(CDialog& dialog, int listId, int line, QPoint& centre) {
    auto* list = qobject_cast<QListWidget*>(controlOf(dialog, listId));
    if (list == nullptr || list->item(line) == nullptr) {
        ADD_FAILURE() << "list " << listId << " has no line " << line;
        return nullptr;
    }
    list->scrollToItem(list->item(line));
    centre = list->visualItemRect(list->item(line)).center();
    return list;
}

// Polls until `find` yields a window, then hands it to `act`; fails the test when none came.
void whenUp(std::function<QWidget*()> find, std::function<void(QWidget*)> act, const char* what) {
    auto* poll = new QTimer(QCoreApplication::instance());
    poll->setObjectName(kPollName);
    poll->setProperty("awaited", QString(what));
    const auto deadline = std::chrono::steady_clock::now() + kUpTimeout;
    QObject::connect(poll, &QTimer::timeout, [poll, deadline, find, act, what] {
        QWidget* up = find();
        if (up == nullptr && std::chrono::steady_clock::now() < deadline) {
            return;
        }
        // `act` may run nested event loops: the poll is done with before it starts.
        const std::function<void(QWidget*)> action = act;
        const std::string name = what;
        poll->stop();
        poll->deleteLater();
        if (up == nullptr) {
            ADD_FAILURE() << name << " did not come up";
            return;
        }
        action(up);
    });
    poll->start(10);
}

}  // namespace

// An event loop of its own rather than QTest::qWaitFor, which sleeps between rounds: calls
// that a worker carries to the window's thread are then served as promptly as by the window's
// own loop.
bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    if (done()) {
        return true;
    }
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done()) {
            loop.quit();
        }
    });
    QTimer::singleShot(timeout, &loop, &QEventLoop::quit);
    poll.start(2);
    loop.exec();
    return done();
}

void click(CDialog& dialog, int controlId) {
    if (QWidget* control = controlOf(dialog, controlId)) {
        QTest::mouseClick(control, Qt::LeftButton);
    }
}

void doubleClick(CDialog& dialog, int controlId) {
    if (QWidget* control = controlOf(dialog, controlId)) {
        QTest::mouseDClick(control, Qt::LeftButton);
    }
}

void clickLine(CDialog& dialog, int listId, int line) {
    QPoint centre;
    if (QListWidget* list = lineOf(dialog, listId, line, centre)) {
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, centre);
    }
}

void doubleClickLine(CDialog& dialog, int listId, int line) {
    QPoint centre;
    if (QListWidget* list = lineOf(dialog, listId, line, centre)) {
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, centre);
    }
}

void typeInto(CDialog& dialog, int editId, const QString& text) {
    auto* edit = qobject_cast<QLineEdit*>(controlOf(dialog, editId));
    if (edit == nullptr) {
        return;
    }
    QTest::mouseClick(edit, Qt::LeftButton);
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(edit, text);
}

void pressEscape(CDialog& dialog) {
    if (QWidget* window = dialogWidget(dialog)) {
        QTest::keyClick(window, Qt::Key_Escape);
    }
}

std::vector<std::string> listLines(CDialog& dialog, int listId) {
    platform::CListBox list = dialog.GetListBox(listId);
    std::vector<std::string> lines;
    for (int i = 0; i < list.GetCount(); ++i) {
        lines.push_back(list.GetText(i));
    }
    return lines;
}

void answerMessageBox(QMessageBox::StandardButton button, std::string* text) {
    whenUp([] { return qobject_cast<QMessageBox*>(QApplication::activeModalWidget()); },
           [button, text](QWidget* up) {
               auto* box = static_cast<QMessageBox*>(up);
               if (text != nullptr) {
                   *text = box->text().toStdString();
               }
               QAbstractButton* answer = box->button(button);
               if (answer == nullptr) {
                   ADD_FAILURE() << "the box offers no such button";
                   box->reject();
                   return;
               }
               QTest::mouseClick(answer, Qt::LeftButton);
           },
           "a message box");
}

void pickFolder(const std::string& folder, std::string* title) {
    whenUp([] { return qobject_cast<QFileDialog*>(QApplication::activeModalWidget()); },
           [folder, title](QWidget* up) {
               auto* picker = static_cast<QFileDialog*>(up);
               if (title != nullptr) {
                   *title = picker->windowTitle().toStdString();
               }
               auto* name = picker->findChild<QLineEdit*>("fileNameEdit");
               if (name == nullptr) {
                   ADD_FAILURE() << "the folder picker has no name field";
                   picker->reject();
                   return;
               }
               // Pasted rather than typed: typing a path pops up the name completer, which
               // would take the keys.
               name->setText(QString::fromStdString(folder));
               auto* buttons = picker->findChild<QDialogButtonBox*>("buttonBox");
               QAbstractButton* choose =
                   buttons != nullptr ? buttons->button(QDialogButtonBox::Open) : nullptr;
               if (choose == nullptr) {
                   ADD_FAILURE() << "the folder picker has no button to choose with";
                   picker->reject();
                   return;
               }
               QTest::mouseClick(choose, Qt::LeftButton);
           },
           "the folder picker");
}

void whenDialogUp(const CDialog& below, std::function<void(CDialog&)> act) {
    whenUp(
        [&below]() -> QWidget* {
            CDialog* top = DialogAccess::innermost();
            if (top == nullptr || top == &below) {
                return nullptr;
            }
            QWidget* widget = dialogWidget(*top);
            return widget != nullptr && widget == QApplication::activeModalWidget() ? widget
                                                                                    : nullptr;
        },
        [act](QWidget*) { act(*DialogAccess::innermost()); }, "a dialog");
}

void chooseSystemMenuItem(CDialog& dialog, const QString& text, std::vector<QString>* offered) {
    QWidget* window = dialogWidget(dialog);
    if (window == nullptr) {
        ADD_FAILURE() << "the window is not on the screen";
        return;
    }
    whenUp([] { return qobject_cast<QMenu*>(QApplication::activePopupWidget()); },
           [text, offered](QWidget* up) {
               auto* menu = static_cast<QMenu*>(up);
               QAction* chosen = nullptr;
               for (QAction* action : menu->actions()) {
                   if (offered != nullptr) {
                       offered->push_back(action->isSeparator() ? QString("-") : action->text());
                   }
                   if (!action->isSeparator() && action->text() == text) {
                       chosen = action;
                   }
               }
               if (chosen == nullptr) {
                   ADD_FAILURE() << "the menu has no item " << text.toStdString();
                   menu->close();
                   return;
               }
               QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(chosen).center());
           },
           "the system menu");
    // A right click on the window's own background, between the list and the buttons.
    const QPoint background(window->width() * 185 / 329, window->height() * 20 / 185);
    QTest::mouseClick(window->windowHandle(), Qt::RightButton, {}, background);
}

}  // namespace user

}  // namespace kelvra::test
