// The Win32 dialog backend on Kelvra's own resources, driven as a user would: message boxes
// answered through their buttons by another thread, and the keyboard focus as the main window
// moves it when a download disables the button that was pressed.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <utility>

#include "platform/dialog/Framework.h"
#include "platform/win32/Utf16.h"
#include "resources/KelvraResources.h"
#include "resources/ResourceIds.h"

namespace kelvra::platform {
namespace {

constexpr int kMessageBoxText = 0xFFFF;  // the static that holds a message box's text
constexpr unsigned kStepTimer = 7;

class Win32Dialogs : public ::testing::Test {
protected:
    void SetUp() override { UseResources(kelvraResources()); }
};

struct BoxSeen {
    std::wstring title;
    std::wstring text;
    bool hasCancel = false;
};

struct BoxSearch {
    DWORD process;
    HWND found;
};

BOOL CALLBACK matchBox(HWND window, LPARAM param) {
    auto& search = *reinterpret_cast<BoxSearch*>(param);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    wchar_t className[16] = {};
    GetClassNameW(window, className, 16);
    if (process == search.process && IsWindowVisible(window) &&
        std::wstring(className) == L"#32770" && GetDlgItem(window, kMessageBoxText) != nullptr) {
        search.found = window;
        return FALSE;
    }
    return TRUE;
}

// Waits on its own thread for a message box of this process, reads it and presses `button`
// (or closes it with WM_CLOSE when `button` is 0).
class BoxAnswerer {
public:
    explicit BoxAnswerer(int button)
        : thread_([this, button] {
              for (int i = 0; i < 100 && !stop_; ++i) {
                  Sleep(50);
                  if (HWND box = findBox()) {
                      wchar_t text[256] = {};
                      GetWindowTextW(box, text, 256);
                      seen_.title = text;
                      GetDlgItemTextW(box, kMessageBoxText, text, 256);
                      seen_.text = text;
                      seen_.hasCancel = GetDlgItem(box, IDCANCEL) != nullptr;
                      if (button == 0) {
                          PostMessageW(box, WM_CLOSE, 0, 0);
                      } else {
                          PostMessageW(GetDlgItem(box, button), BM_CLICK, 0, 0);
                      }
                      return;
                  }
              }
          }) {}
    ~BoxAnswerer() {
        stop_ = true;
        if (thread_.joinable()) {
            thread_.join();
        }
    }
    const BoxSeen& seen() {
        stop_ = true;
        if (thread_.joinable()) {
            thread_.join();
        }
        return seen_;
    }

private:
    static HWND findBox() {
        BoxSearch search{GetCurrentProcessId(), nullptr};
        EnumWindows(matchBox, reinterpret_cast<LPARAM>(&search));
        return search.found;
    }

    std::atomic<bool> stop_{false};
    BoxSeen seen_;
    std::thread thread_;
};

TEST_F(Win32Dialogs, AMessageBoxShowsItsTextTitledWithTheProgramAndGivesTheButtonPressed) {
    const std::string question = "Вы уверены?";
    {
        BoxAnswerer answerer(IDOK);
        EXPECT_EQ(AfxMessageBox(question, MB_OKCANCEL), IDOK);
        const BoxSeen& seen = answerer.seen();
        EXPECT_EQ(seen.text, toUtf16(question));
        EXPECT_EQ(seen.title, L"kelvra_win32_tests");
        EXPECT_TRUE(seen.hasCancel);
    }
    {
        BoxAnswerer answerer(IDCANCEL);
        EXPECT_EQ(AfxMessageBox(question, MB_OKCANCEL), IDCANCEL);
    }
    {
        BoxAnswerer answerer(0);
        EXPECT_EQ(AfxMessageBox(question, MB_OKCANCEL), IDCANCEL) << "closed is not agreed to";
    }
}

// A window of Kelvra's that runs the test's steps once it is up, then ends.
class Scripted : public CDialog {
public:
    Scripted(int templateId, std::function<void(Scripted&)> steps)
        : CDialog(templateId), steps_(std::move(steps)) {}

protected:
    bool OnInitDialog() override {
        CDialog::OnInitDialog();
        SetTimer(kStepTimer, 10);
        return true;
    }

    const MessageMap& GetMessageMap() const override {
        static constexpr MessageMapEntry kEntries[] = {onTimer<&Scripted::OnTimer>()};
        static constexpr MessageMap kMap{kEntries};
        return kMap;
    }

private:
    void OnTimer(unsigned timerId) {
        if (timerId != kStepTimer) {
            return;
        }
        KillTimer(kStepTimer);
        steps_(*this);
        EndDialog(IDOK);
    }

    std::function<void(Scripted&)> steps_;
};

BOOL CALLBACK firstVisible(HWND window, LPARAM param) {
    if (IsWindowVisible(window)) {
        *reinterpret_cast<HWND*>(param) = window;
        return FALSE;
    }
    return TRUE;
}

HWND windowOfThisThread() {
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), firstVisible, reinterpret_cast<LPARAM>(&found));
    return found;
}

TEST_F(Win32Dialogs, AMessageBoxThatCannotBeShownCountsAsCancel) {
    int answer = 0;
    Scripted window(IDD_ABOUTBOX, [&](Scripted&) {
        // Its owner gone, the box cannot be shown; should it show after all, it is agreed to.
        HWND self = windowOfThisThread();
        ASSERT_NE(self, nullptr);
        DestroyWindow(self);
        BoxAnswerer answerer(IDOK);
        answer = AfxMessageBox("Вы уверены?", MB_OKCANCEL);
    });
    window.DoModal();
    EXPECT_EQ(answer, IDCANCEL);
}

TEST_F(Win32Dialogs, TheListKeepsTheFocusThatADisabledButtonWouldLose) {
    int focusAfterDisabling = -1;
    int focusAfterTheJob = -1;
    Scripted window(IDD_MAIN_DIALOG, [&](Scripted& main) {
        main.SetItemFocus(IDC_READ_SELECTED);
        ASSERT_EQ(main.GetFocusedItem(), IDC_READ_SELECTED);
        main.EnableItem(IDC_READ_SELECTED, false);
        focusAfterDisabling = main.GetFocusedItem();
        main.EnableItem(IDC_READ_SELECTED, true);

        // As a download starts and ends.
        main.SetItemFocus(IDC_READ_SELECTED);
        main.SetItemFocus(IDC_RECORD_LIST);
        main.EnableItem(IDC_READ_SELECTED, false);
        main.EnableItem(IDC_CLEAR_MEMORY, false);
        main.EnableItem(IDC_READ_SELECTED, true);
        main.EnableItem(IDC_CLEAR_MEMORY, true);
        focusAfterTheJob = main.GetFocusedItem();
    });
    EXPECT_EQ(window.DoModal(), IDOK);
    EXPECT_EQ(focusAfterDisabling, 0) << "a disabled control keeps no focus on Windows";
    EXPECT_EQ(focusAfterTheJob, IDC_RECORD_LIST);
}

}  // namespace
}  // namespace kelvra::platform
