// Message tables and the framework's defaults on a form: notifications by control, timers (also
// while a box or a child dialog is modal), the system menu, closing, icons and minimised painting.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/dialog/Framework.h"
#include "platform/headless/DialogDriver.h"
#include "tests/support/FrameworkTemplates.h"

namespace kelvra::platform {
namespace {

using headless::DialogDriver;
using namespace kelvra::test;

class Box : public CDialog {
public:
    Box() : CDialog(IDD_BOX) {}
};

// A form that handles what the framework can dispatch: notifications of several controls
// (STN_DBLCLK and LBN_SELCHANGE share a code), timers, its system menu item, painting and the
// drag icon.
class Form : public CDialog {
public:
    Form() : CDialog(IDD_FORM), icon(LoadIconResource(IDI_FORM)) {}

    IconHandle icon;
    std::vector<std::string> events;
    int boxResult = 0;
    bool closeOnTimer3 = false;

protected:
    bool OnInitDialog() override {
        CDialog::OnInitDialog();
        if (HasSystemMenu()) {
            AppendSystemMenu(MF_SEPARATOR);
            AppendSystemMenu(MF_STRING, IDM_SHOW_BOX, LoadStringResource(IDS_SHOW_BOX));
        }
        SetIcon(icon, true);
        SetIcon(icon, false);
        SetTimer(1, 1000);
        return true;
    }

    const MessageMap& GetMessageMap() const override {
        static constexpr MessageMapEntry kEntries[] = {
            onBnClicked<&Form::OnStart>(IDC_START),
            onBnClicked<&Form::OnReset>(IDC_RESET),
            onStnDblClk<&Form::OnNameA>(IDC_NAME_A),
            onStnDblClk<&Form::OnNameB>(IDC_NAME_B),
            onLbnSelChange<&Form::OnSelChange>(IDC_LINES),
            onLbnDblClk<&Form::OnLineDblClk>(IDC_LINES),
            onTimer<&Form::OnTimer>(),
            onSysCommand<&Form::OnSysCommand>(),
            onPaint<&Form::OnPaint>(),
            onQueryDragIcon<&Form::OnQueryDragIcon>(),
        };
        static constexpr MessageMap kMap{kEntries};
        return kMap;
    }

private:
    void OnSysCommand(unsigned command) {
        if ((command & 0xFFF0) == IDM_SHOW_BOX) {
            events.push_back("box");
            Box box;
            boxResult = box.DoModal();
        } else {
            CDialog::OnSysCommand(command);
        }
    }
    void OnPaint() {
        if (IsIconic()) {
            PaintIconic(icon);
        } else {
            CDialog::OnPaint();
        }
    }
    IconHandle OnQueryDragIcon() { return icon; }
    void OnTimer(unsigned timerId) {
        events.push_back("timer " + std::to_string(timerId));
        if (timerId == 3 && closeOnTimer3) {
            AfxMessageBox("No Acknowledge");
            SendCloseMessage();
        }
        CDialog::OnTimer(timerId);
    }
    void OnStart() { events.push_back("start"); }
    void OnReset() { events.push_back("reset"); }
    void OnNameA() { events.push_back("name A"); }
    void OnNameB() { events.push_back("name B"); }
    void OnSelChange() { events.push_back("selchange"); }
    void OnLineDblClk() {
        events.push_back("dblclk " + std::to_string(GetListBox(IDC_LINES).GetCaretIndex()));
    }
};

class DialogMessageMap : public FrameworkTest {
protected:
    void SetUp() override {
        driver.setAppName("Проба");
        driver.open(form);
    }
    void TearDown() override {
        if (driver.isOpen(form)) {
            driver.finish(form);
        }
    }

    DialogDriver driver;
    Form form;
};

TEST_F(DialogMessageMap, NotificationsReachTheHandlerOfTheirControl) {
    CListBox list = form.GetListBox(IDC_LINES);
    list.InsertString(-1, "a");
    list.InsertString(-1, "b");
    EXPECT_TRUE(driver.click(form, IDC_START));
    EXPECT_TRUE(driver.click(form, IDC_RESET));
    EXPECT_TRUE(driver.doubleClick(form, IDC_NAME_B));
    EXPECT_TRUE(driver.doubleClick(form, IDC_NAME_A));
    EXPECT_TRUE(driver.clickLine(form, IDC_LINES, 1));
    EXPECT_TRUE(driver.doubleClickLine(form, IDC_LINES, 0));
    EXPECT_EQ(form.events, (std::vector<std::string>{"start", "reset", "name B", "name A",
                                                     "selchange", "dblclk 0"}));
}

TEST_F(DialogMessageMap, WhatAUserCannotReachIsRefused) {
    form.EnableItem(IDC_START, false);
    EXPECT_FALSE(driver.click(form, IDC_START));
    form.EnableItem(IDC_START, true);
    EXPECT_TRUE(driver.click(form, IDC_START));
    EXPECT_FALSE(driver.doubleClick(form, IDC_NOTE_A));  // does not report clicks
    EXPECT_FALSE(driver.click(form, IDC_BAR));
    EXPECT_FALSE(driver.clickLine(form, IDC_LINES, 0));  // no such line
    EXPECT_EQ(form.events, std::vector<std::string>{"start"});
}

TEST_F(DialogMessageMap, TimersTickByIdentifierUntilKilled) {
    EXPECT_EQ(driver.timerPeriod(form, 1), 1000u);
    EXPECT_FALSE(driver.fireTimer(form, 3));
    EXPECT_TRUE(form.SetTimer(3, 10000));
    EXPECT_TRUE(driver.fireTimer(form, 3));
    EXPECT_TRUE(driver.fireTimer(form, 1));
    EXPECT_TRUE(form.KillTimer(1));
    EXPECT_FALSE(form.KillTimer(1));
    EXPECT_FALSE(driver.fireTimer(form, 1));
    EXPECT_EQ(driver.runningTimers(form), std::vector<unsigned>{3});
    EXPECT_EQ(form.events, (std::vector<std::string>{"timer 3", "timer 1"}));
}

TEST_F(DialogMessageMap, SystemMenuItemOpensTheAboutBoxAndReturnsToTheWindow) {
    std::vector<headless::SystemMenuItem> menu = driver.systemMenu(form);
    ASSERT_EQ(menu.size(), 2u);
    EXPECT_EQ(menu[0].flags, MF_SEPARATOR);
    EXPECT_EQ(menu[1].flags, MF_STRING);
    EXPECT_EQ(menu[1].command, IDM_SHOW_BOX);
    EXPECT_EQ(menu[1].text, "&Показать окно");

    driver.onModal([&](CDialog& dialog) {
        EXPECT_EQ(dialog.GetTemplateId(), IDD_BOX);
        EXPECT_EQ(driver.topDialog(), &dialog);
        EXPECT_FALSE(driver.click(form, IDC_START));  // the form is disabled
        EXPECT_TRUE(driver.pressEnter(dialog));       // Enter closes the box
    });
    EXPECT_TRUE(driver.chooseSystemMenu(form, IDM_SHOW_BOX));
    EXPECT_EQ(driver.modalRuns(), std::vector<int>{IDD_BOX});
    EXPECT_EQ(form.boxResult, IDOK);
    EXPECT_FALSE(driver.hasEnded(form));
    EXPECT_TRUE(driver.click(form, IDC_START));
    EXPECT_FALSE(driver.chooseSystemMenu(form, 0x20));  // not on the menu
}

TEST_F(DialogMessageMap, CloseBoxEscapeAndEnterInTheListEndTheRun) {
    EXPECT_TRUE(driver.closeBox(form));
    EXPECT_EQ(driver.finish(form), IDCANCEL);

    Form second;
    driver.open(second);
    EXPECT_TRUE(driver.pressEscape(second));
    EXPECT_EQ(driver.finish(second), IDCANCEL);

    Form third;
    driver.open(third);
    EXPECT_EQ(third.GetFocusedItem(), IDC_LINES);
    EXPECT_TRUE(driver.pressEnter(third));
    EXPECT_EQ(driver.finish(third), IDOK);
}

TEST_F(DialogMessageMap, TimersKeepTickingWhileAMessageBoxIsUp) {
    driver.onMessageBox([&](const headless::MessageBoxRecord& box) {
        EXPECT_EQ(box.text, "Вы уверены?");
        EXPECT_FALSE(driver.click(form, IDC_RESET));  // the box is modal
        EXPECT_TRUE(driver.fireTimer(form, 1));
        return IDCANCEL;
    });
    EXPECT_EQ(AfxMessageBox("Вы уверены?", MB_OKCANCEL), IDCANCEL);
    EXPECT_EQ(form.events, std::vector<std::string>{"timer 1"});
    ASSERT_EQ(driver.messageBoxes().size(), 1u);
    EXPECT_EQ(driver.messageBoxes()[0].title, "Проба");
    EXPECT_EQ(driver.messageBoxes()[0].type, MB_OKCANCEL | MB_ICONEXCLAMATION);
}

TEST_F(DialogMessageMap, MessageBoxesAnswerOkOrCancelAndKeepAnAskedIcon) {
    driver.onMessageBox([](const headless::MessageBoxRecord&) { return IDCANCEL; });
    EXPECT_EQ(AfxMessageBox("Unable to create file"), IDOK);  // an OK box can only say OK
    EXPECT_EQ(AfxMessageBox("Удалить?", MB_OKCANCEL | MB_ICONQUESTION), IDCANCEL);
    ASSERT_EQ(driver.messageBoxes().size(), 2u);
    EXPECT_EQ(driver.messageBoxes()[0].type, MB_OK | MB_ICONEXCLAMATION);
    EXPECT_EQ(driver.messageBoxes()[1].type, MB_OKCANCEL | MB_ICONQUESTION);
}

TEST_F(DialogMessageMap, TimersKeepTickingWhileAChildDialogIsModal) {
    driver.onModal([&](CDialog& box) {
        EXPECT_TRUE(driver.fireTimer(form, 1));
        EXPECT_TRUE(driver.fireTimer(form, 1));
        driver.closeBox(box);
    });
    ASSERT_TRUE(driver.chooseSystemMenu(form, IDM_SHOW_BOX));
    EXPECT_EQ(form.events, (std::vector<std::string>{"box", "timer 1", "timer 1"}));
    EXPECT_EQ(form.boxResult, IDCANCEL);
}

TEST_F(DialogMessageMap, ClosingTheMainWindowFromATimerEndsAChildDialogAboveIt) {
    form.closeOnTimer3 = true;
    form.SetTimer(3, 10000);
    driver.onModal([&](CDialog& box) {
        EXPECT_TRUE(driver.fireTimer(form, 3));
        EXPECT_TRUE(driver.hasEnded(box));
    });
    ASSERT_TRUE(driver.chooseSystemMenu(form, IDM_SHOW_BOX));
    EXPECT_EQ(form.boxResult, IDCANCEL);
    EXPECT_TRUE(driver.hasEnded(form));
    ASSERT_EQ(driver.messageBoxes().size(), 1u);
    EXPECT_EQ(driver.messageBoxes()[0].text, "No Acknowledge");
    EXPECT_EQ(driver.finish(form), IDCANCEL);
}

TEST_F(DialogMessageMap, IconsAreSetAndTheMinimisedWindowDrawsItCentred) {
    ASSERT_NE(form.icon, nullptr);
    EXPECT_EQ(LoadIconResource(IDI_FORM + 1), nullptr);  // the table draws no such icon
    EXPECT_EQ(DialogDriver::iconResourceId(driver.icon(form, true)), IDI_FORM);
    EXPECT_EQ(DialogDriver::iconResourceId(driver.icon(form, false)), IDI_FORM);
    EXPECT_EQ(driver.queryDragIcon(form), form.icon);

    headless::PaintRecord normal = driver.paint(form);
    EXPECT_TRUE(normal.framework);
    EXPECT_EQ(normal.icon, nullptr);

    driver.setIconic(form, true);
    headless::PaintRecord iconic = driver.paint(form);
    EXPECT_FALSE(iconic.framework);
    EXPECT_TRUE(iconic.backgroundErased);
    EXPECT_EQ(iconic.icon, form.icon);
    // 240 x 160 dialog units are 360 x 260 pixels at base units 6 x 13.
    EXPECT_EQ(iconic.x, (360 - 32 + 1) / 2);
    EXPECT_EQ(iconic.y, (260 - 32 + 1) / 2);
}

// The application object as a program runs it.
class TestApp : public CWinApp {
public:
    bool InitInstance() override {
        CWinApp::InitInstance();
        InitCommonControls();
        SetRegistryKey("Local AppWizard-Generated Applications");
        Form dialog;
        m_pMainWnd = &dialog;
        result = dialog.DoModal();
        m_pMainWnd = nullptr;
        return false;
    }
    int result = 0;
};

class DialogApplication : public FrameworkTest {};

TEST_F(DialogApplication, EntryRunsTheStartUpStepWhichRunsTheMainWindowModally) {
    DialogDriver driver;
    driver.setAppName("Проба");
    TestApp app;
    EXPECT_EQ(AfxGetApp(), &app);
    EXPECT_EQ(app.GetAppName(), "Проба");
    driver.onModal([&](CDialog& dialog) {
        EXPECT_EQ(dialog.GetTemplateId(), IDD_FORM);
        EXPECT_TRUE(driver.fireTimer(dialog, 1));
        AfxMessageBox("hello");
        EXPECT_TRUE(driver.pressEscape(dialog));
    });
    char name[] = "proba";
    char* argv[] = {name, nullptr};
    EXPECT_EQ(AfxWinMain(1, argv), 0);
    EXPECT_EQ(app.result, IDCANCEL);
    EXPECT_EQ(driver.modalRuns(), std::vector<int>{IDD_FORM});
    EXPECT_EQ(driver.registeredSettingsKeys(),
              std::vector<std::string>{"Local AppWizard-Generated Applications"});
    ASSERT_EQ(driver.messageBoxes().size(), 1u);
    EXPECT_EQ(driver.messageBoxes()[0].title, "Проба");
}

TEST_F(DialogApplication, FolderPickerIsScriptedAndTheChosenFolderBecomesCurrent) {
    DialogDriver driver;
    EXPECT_EQ(BrowseForFolder("Выберите папку для сохранения"), std::nullopt);
    std::string folder = ::testing::TempDir() + "kelvra dialog папка";
    // The folder's name is UTF-8, which a char path is not on Windows.
    const std::filesystem::path folderPath(std::u8string(folder.begin(), folder.end()));
    std::filesystem::create_directories(folderPath);
    driver.onFolderPicker([&](std::string_view) { return folder; });
    std::optional<std::string> chosen = BrowseForFolder("Выберите папку для сохранения");
    ASSERT_TRUE(chosen.has_value());
    std::filesystem::path before = std::filesystem::current_path();
    EXPECT_TRUE(ChangeCurrentDirectory(*chosen));
    EXPECT_EQ(std::filesystem::current_path(), std::filesystem::canonical(folderPath));
    EXPECT_FALSE(ChangeCurrentDirectory(folder + "/missing"));
    std::filesystem::current_path(before);
    EXPECT_EQ(driver.folderPickerTitles(),
              (std::vector<std::string>{"Выберите папку для сохранения",
                                        "Выберите папку для сохранения"}));
}

}  // namespace
}  // namespace kelvra::platform
