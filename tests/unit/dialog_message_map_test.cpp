// Message tables and the framework's defaults on a main-window-like dialog: notifications by
// control, timers (also while a box or a child dialog is modal), the system menu, closing,
// icons and minimised painting.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/dialog/Framework.h"
#include "platform/headless/DialogDriver.h"

namespace kelvra::platform {
namespace {

using headless::DialogDriver;

class AboutBox : public CDialog {
public:
    AboutBox() : CDialog(IDD_ABOUTBOX) {}
};

class MainLike : public CDialog {
public:
    MainLike() : CDialog(IDD_MAIN_DIALOG), icon(LoadIconResource(IDR_MAINFRAME)) {}

    IconHandle icon;
    std::vector<std::string> events;
    int aboutResult = 0;
    bool closeOnTimer3 = false;

protected:
    bool OnInitDialog() override {
        CDialog::OnInitDialog();
        if (HasSystemMenu()) {
            AppendSystemMenu(MF_SEPARATOR);
            AppendSystemMenu(MF_STRING, IDM_ABOUTBOX, LoadStringResource(IDS_ABOUTBOX));
        }
        SetIcon(icon, true);
        SetIcon(icon, false);
        SetTimer(1, 1000);
        return true;
    }

    const MessageMap& GetMessageMap() const override {
        static constexpr MessageMapEntry kEntries[] = {
            onSysCommand<&MainLike::OnSysCommand>(),
            onPaint<&MainLike::OnPaint>(),
            onQueryDragIcon<&MainLike::OnQueryDragIcon>(),
            onTimer<&MainLike::OnTimer>(),
            onBnClicked<&MainLike::OnClearMemory>(IDC_CLEAR_MEMORY),
            onStnDblClk<&MainLike::OnSerialA>(IDC_SERIAL_A),
            onBnClicked<&MainLike::OnReadSelected>(IDC_READ_SELECTED),
            onStnDblClk<&MainLike::OnSerialB>(IDC_SERIAL_B),
            onLbnSelChange<&MainLike::OnSelChange>(IDC_RECORD_LIST),
            onLbnDblClk<&MainLike::OnListDblClk>(IDC_RECORD_LIST),
        };
        static constexpr MessageMap kMap{kEntries};
        return kMap;
    }

private:
    void OnSysCommand(unsigned command) {
        if ((command & 0xFFF0) == IDM_ABOUTBOX) {
            events.push_back("about");
            AboutBox about;
            aboutResult = about.DoModal();
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
    void OnClearMemory() { events.push_back("clear"); }
    void OnReadSelected() { events.push_back("read"); }
    void OnSerialA() { events.push_back("serial A"); }
    void OnSerialB() { events.push_back("serial B"); }
    void OnSelChange() { events.push_back("selchange"); }
    void OnListDblClk() {
        events.push_back("dblclk " + std::to_string(GetListBox(IDC_RECORD_LIST).GetCaretIndex()));
    }
};

class DialogMessageMap : public ::testing::Test {
protected:
    void SetUp() override {
        driver.setAppName("Kelvra");
        driver.open(main);
    }
    void TearDown() override {
        if (driver.isOpen(main)) {
            driver.finish(main);
        }
    }

    DialogDriver driver;
    MainLike main;
};

TEST_F(DialogMessageMap, NotificationsReachTheHandlerOfTheirControl) {
    CListBox list = main.GetListBox(IDC_RECORD_LIST);
    list.InsertString(-1, "a");
    list.InsertString(-1, "b");
    EXPECT_TRUE(driver.click(main, IDC_READ_SELECTED));
    EXPECT_TRUE(driver.click(main, IDC_CLEAR_MEMORY));
    EXPECT_TRUE(driver.doubleClick(main, IDC_SERIAL_B));
    EXPECT_TRUE(driver.doubleClick(main, IDC_SERIAL_A));
    EXPECT_TRUE(driver.clickLine(main, IDC_RECORD_LIST, 1));
    EXPECT_TRUE(driver.doubleClickLine(main, IDC_RECORD_LIST, 0));
    EXPECT_EQ(main.events, (std::vector<std::string>{"read", "clear", "serial B", "serial A",
                                                     "selchange", "dblclk 0"}));
}

TEST_F(DialogMessageMap, WhatAUserCannotReachIsRefused) {
    main.EnableItem(IDC_READ_SELECTED, false);
    EXPECT_FALSE(driver.click(main, IDC_READ_SELECTED));
    main.EnableItem(IDC_READ_SELECTED, true);
    EXPECT_TRUE(driver.click(main, IDC_READ_SELECTED));
    EXPECT_FALSE(driver.doubleClick(main, IDC_FIRMWARE_A));  // does not report clicks
    EXPECT_FALSE(driver.click(main, IDC_PROGRESS));
    EXPECT_FALSE(driver.clickLine(main, IDC_RECORD_LIST, 0));  // no such line
    EXPECT_EQ(main.events, std::vector<std::string>{"read"});
}

TEST_F(DialogMessageMap, TimersTickByIdentifierUntilKilled) {
    EXPECT_EQ(driver.timerPeriod(main, 1), 1000u);
    EXPECT_FALSE(driver.fireTimer(main, 3));
    EXPECT_TRUE(main.SetTimer(3, 10000));
    EXPECT_TRUE(driver.fireTimer(main, 3));
    EXPECT_TRUE(driver.fireTimer(main, 1));
    EXPECT_TRUE(main.KillTimer(1));
    EXPECT_FALSE(main.KillTimer(1));
    EXPECT_FALSE(driver.fireTimer(main, 1));
    EXPECT_EQ(driver.runningTimers(main), std::vector<unsigned>{3});
    EXPECT_EQ(main.events, (std::vector<std::string>{"timer 3", "timer 1"}));
}

TEST_F(DialogMessageMap, SystemMenuItemOpensTheAboutBoxAndReturnsToTheWindow) {
    std::vector<headless::SystemMenuItem> menu = driver.systemMenu(main);
    ASSERT_EQ(menu.size(), 2u);
    EXPECT_EQ(menu[0].flags, MF_SEPARATOR);
    EXPECT_EQ(menu[1].flags, MF_STRING);
    EXPECT_EQ(menu[1].command, IDM_ABOUTBOX);
    EXPECT_EQ(menu[1].text, LoadStringResource(IDS_ABOUTBOX));

    driver.onModal([&](CDialog& dialog) {
        EXPECT_EQ(dialog.GetTemplateId(), IDD_ABOUTBOX);
        EXPECT_EQ(driver.topDialog(), &dialog);
        EXPECT_FALSE(driver.click(main, IDC_READ_SELECTED));  // the main window is disabled
        EXPECT_TRUE(driver.pressEnter(dialog));               // Enter closes the About box
    });
    EXPECT_TRUE(driver.chooseSystemMenu(main, IDM_ABOUTBOX));
    EXPECT_EQ(driver.modalRuns(), std::vector<int>{IDD_ABOUTBOX});
    EXPECT_EQ(main.aboutResult, IDOK);
    EXPECT_FALSE(driver.hasEnded(main));
    EXPECT_TRUE(driver.click(main, IDC_READ_SELECTED));
    EXPECT_FALSE(driver.chooseSystemMenu(main, 0x20));  // not on the menu
}

TEST_F(DialogMessageMap, CloseBoxEscapeAndEnterInTheListEndTheRun) {
    EXPECT_TRUE(driver.closeBox(main));
    EXPECT_EQ(driver.finish(main), IDCANCEL);

    MainLike second;
    driver.open(second);
    EXPECT_TRUE(driver.pressEscape(second));
    EXPECT_EQ(driver.finish(second), IDCANCEL);

    MainLike third;
    driver.open(third);
    EXPECT_EQ(third.GetFocusedItem(), IDC_RECORD_LIST);
    EXPECT_TRUE(driver.pressEnter(third));
    EXPECT_EQ(driver.finish(third), IDOK);
}

TEST_F(DialogMessageMap, TimersKeepTickingWhileAMessageBoxIsUp) {
    driver.onMessageBox([&](const headless::MessageBoxRecord& box) {
        EXPECT_EQ(box.text, "Вы уверены?");
        EXPECT_FALSE(driver.click(main, IDC_CLEAR_MEMORY));  // the box is modal
        EXPECT_TRUE(driver.fireTimer(main, 1));
        return IDCANCEL;
    });
    EXPECT_EQ(AfxMessageBox("Вы уверены?", MB_OKCANCEL), IDCANCEL);
    EXPECT_EQ(main.events, std::vector<std::string>{"timer 1"});
    ASSERT_EQ(driver.messageBoxes().size(), 1u);
    EXPECT_EQ(driver.messageBoxes()[0].title, "Kelvra");
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
    driver.onModal([&](CDialog& about) {
        EXPECT_TRUE(driver.fireTimer(main, 1));
        EXPECT_TRUE(driver.fireTimer(main, 1));
        driver.closeBox(about);
    });
    ASSERT_TRUE(driver.chooseSystemMenu(main, IDM_ABOUTBOX));
    EXPECT_EQ(main.events, (std::vector<std::string>{"about", "timer 1", "timer 1"}));
    EXPECT_EQ(main.aboutResult, IDCANCEL);
}

TEST_F(DialogMessageMap, ClosingTheMainWindowFromATimerEndsAChildDialogAboveIt) {
    main.closeOnTimer3 = true;
    main.SetTimer(3, 10000);
    driver.onModal([&](CDialog& about) {
        EXPECT_TRUE(driver.fireTimer(main, 3));
        EXPECT_TRUE(driver.hasEnded(about));
    });
    ASSERT_TRUE(driver.chooseSystemMenu(main, IDM_ABOUTBOX));
    EXPECT_EQ(main.aboutResult, IDCANCEL);
    EXPECT_TRUE(driver.hasEnded(main));
    ASSERT_EQ(driver.messageBoxes().size(), 1u);
    EXPECT_EQ(driver.messageBoxes()[0].text, "No Acknowledge");
    EXPECT_EQ(driver.finish(main), IDCANCEL);
}

TEST_F(DialogMessageMap, IconsAreSetAndTheMinimisedWindowDrawsItCentred) {
    EXPECT_EQ(DialogDriver::iconResourceId(driver.icon(main, true)), IDR_MAINFRAME);
    EXPECT_EQ(DialogDriver::iconResourceId(driver.icon(main, false)), IDR_MAINFRAME);
    EXPECT_EQ(driver.queryDragIcon(main), main.icon);

    headless::PaintRecord normal = driver.paint(main);
    EXPECT_TRUE(normal.framework);
    EXPECT_EQ(normal.icon, nullptr);

    driver.setIconic(main, true);
    headless::PaintRecord iconic = driver.paint(main);
    EXPECT_FALSE(iconic.framework);
    EXPECT_TRUE(iconic.backgroundErased);
    EXPECT_EQ(iconic.icon, main.icon);
    // 329 x 185 dialog units are 494 x 301 pixels at base units 6 x 13.
    EXPECT_EQ(iconic.x, (494 - 32 + 1) / 2);
    EXPECT_EQ(iconic.y, (301 - 32 + 1) / 2);
}

// The application object as a program runs it.
class TestApp : public CWinApp {
public:
    bool InitInstance() override {
        CWinApp::InitInstance();
        InitCommonControls();
        SetRegistryKey("Local AppWizard-Generated Applications");
        MainLike dialog;
        m_pMainWnd = &dialog;
        result = dialog.DoModal();
        m_pMainWnd = nullptr;
        return false;
    }
    int result = 0;
};

TEST(DialogApplication, EntryRunsTheStartUpStepWhichRunsTheMainWindowModally) {
    DialogDriver driver;
    driver.setAppName("Kelvra");
    TestApp app;
    EXPECT_EQ(AfxGetApp(), &app);
    EXPECT_EQ(app.GetAppName(), "Kelvra");
    driver.onModal([&](CDialog& dialog) {
        EXPECT_EQ(dialog.GetTemplateId(), IDD_MAIN_DIALOG);
        EXPECT_TRUE(driver.fireTimer(dialog, 1));
        AfxMessageBox("hello");
        EXPECT_TRUE(driver.pressEscape(dialog));
    });
    char name[] = "Kelvra";
    char* argv[] = {name, nullptr};
    EXPECT_EQ(AfxWinMain(1, argv), 0);
    EXPECT_EQ(app.result, IDCANCEL);
    EXPECT_EQ(driver.modalRuns(), std::vector<int>{IDD_MAIN_DIALOG});
    EXPECT_EQ(driver.registeredSettingsKeys(),
              std::vector<std::string>{"Local AppWizard-Generated Applications"});
    ASSERT_EQ(driver.messageBoxes().size(), 1u);
    EXPECT_EQ(driver.messageBoxes()[0].title, "Kelvra");
}

TEST(DialogApplication, FolderPickerIsScriptedAndTheChosenFolderBecomesCurrent) {
    DialogDriver driver;
    EXPECT_EQ(BrowseForFolder("Выберите папку для сохранения"), std::nullopt);
    std::string folder = ::testing::TempDir() + "kelvra dialog папка";
    std::filesystem::create_directories(folder);
    driver.onFolderPicker([&](std::string_view) { return folder; });
    std::optional<std::string> chosen = BrowseForFolder("Выберите папку для сохранения");
    ASSERT_TRUE(chosen.has_value());
    std::filesystem::path before = std::filesystem::current_path();
    EXPECT_TRUE(ChangeCurrentDirectory(*chosen));
    EXPECT_EQ(std::filesystem::current_path(), std::filesystem::canonical(folder));
    EXPECT_FALSE(ChangeCurrentDirectory(folder + "/missing"));
    std::filesystem::current_path(before);
    EXPECT_EQ(driver.folderPickerTitles(),
              (std::vector<std::string>{"Выберите папку для сохранения",
                                        "Выберите папку для сохранения"}));
}

}  // namespace
}  // namespace kelvra::platform
