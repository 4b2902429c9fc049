// The Qt backend on the offscreen platform: a template dialog laid out in dialog units and
// driven with mouse and keys, timers during a message box, workers' carried calls.
#include <gtest/gtest.h>

#include <QApplication>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "platform/dialog/DialogTemplate.h"
#include "platform/dialog/Framework.h"
#include "platform/qt/QtControls.h"
#include "platform/qt/QtDialogAccess.h"

namespace kelvra::platform {
namespace {

using qtui::dialogControl;
using qtui::dialogWidget;

class MainWindow : public CDialog {
public:
    MainWindow() : CDialog(IDD_MAIN_DIALOG) {}

    std::vector<std::string> events;
    int ticks = 0;
    int boxAnswer = 0;
    std::function<void()> onRead;

protected:
    bool OnInitDialog() override {
        CDialog::OnInitDialog();
        SetIcon(LoadIconResource(IDR_MAINFRAME), true);
        AppendSystemMenu(MF_SEPARATOR);
        AppendSystemMenu(MF_STRING, IDM_ABOUTBOX, LoadStringResource(IDS_ABOUTBOX));
        CListBox list = GetListBox(IDC_RECORD_LIST);
        list.SetTabStops(45);
        list.InsertString(-1, " 5/ 3/2018\t14:07:09\tЗапись 1\tA_B");
        list.InsertString(-1, "\t\tЗапись 2\tA_B");
        list.InsertString(-1, " 6/ 3/2018\t09:00:00\tЗапись 1\tA");
        return true;
    }

    const MessageMap& GetMessageMap() const override {
        static constexpr MessageMapEntry kEntries[] = {
            onTimer<&MainWindow::OnTimer>(),
            onBnClicked<&MainWindow::OnReadSelected>(IDC_READ_SELECTED),
            onStnDblClk<&MainWindow::OnSerialA>(IDC_SERIAL_A),
            onLbnSelChange<&MainWindow::OnSelChange>(IDC_RECORD_LIST),
            onLbnDblClk<&MainWindow::OnListDblClk>(IDC_RECORD_LIST),
        };
        static constexpr MessageMap kMap{kEntries};
        return kMap;
    }

private:
    void OnTimer(unsigned) { ++ticks; }
    void OnReadSelected() {
        events.push_back("read");
        if (onRead) {
            onRead();
        }
    }
    void OnSerialA() { events.push_back("serial A"); }
    void OnSelChange() { events.push_back("selchange"); }
    void OnListDblClk() {
        events.push_back("dblclk " + std::to_string(GetListBox(IDC_RECORD_LIST).GetCaretIndex()));
    }
};

// Runs the dialog modally with `script` acting on it from inside its event loop.
int runWith(CDialog& dialog, const std::function<void(QWidget*)>& script) {
    QTimer::singleShot(0, [&] {
        QWidget* window = dialogWidget(dialog);
        window->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window));
        script(window);
    });
    return dialog.DoModal();
}

QPoint rowCentre(QListWidget* list, int row) {
    return list->visualItemRect(list->item(row)).center();
}

// Presses a button of the next message box once it is up, after `before` has looked around.
void answerBoxWhenUp(QMessageBox::StandardButton button, std::string* text = nullptr,
                     std::function<void()> before = {}) {
    QTimer::singleShot(0, [=] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) {
            answerBoxWhenUp(button, text, before);
            return;
        }
        if (text != nullptr) {
            *text = box->text().toStdString();
        }
        if (before) {
            before();
        }
        box->button(button)->click();
    });
}

TEST(DialogQt, TemplateIsLaidOutInDialogUnitsOfTheFont) {
    MainWindow main;
    runWith(main, [&](QWidget* window) {
        // Every control keeps its place relative to the window: x = du * baseX / 4 and
        // y = du * baseY / 8, with the window converted the same way.
        const DialogTemplate* tmpl = findDialogTemplate(IDD_MAIN_DIALOG);
        double unitX = window->width() / 329.0;
        double unitY = window->height() / 185.0;
        for (const ControlTemplate& item : tmpl->controls) {
            QWidget* control = item.id != IDC_STATIC ? dialogControl(main, item.id) : nullptr;
            if (control == nullptr) {
                continue;
            }
            SCOPED_TRACE(item.id);
            EXPECT_NEAR(control->x(), item.x * unitX, 1.0);
            EXPECT_NEAR(control->y(), item.y * unitY, 1.0);
            EXPECT_NEAR(control->width(), item.cx * unitX, 1.0);
            EXPECT_NEAR(control->height(), item.cy * unitY, 1.0);
        }
        QWidget* read = dialogControl(main, IDC_READ_SELECTED);
        QWidget* progress = dialogControl(main, IDC_PROGRESS);
        EXPECT_EQ(qobject_cast<QPushButton*>(read)->text(), QString("Считать выбранное"));
        EXPECT_TRUE(progress->isHidden());
        EXPECT_EQ(window->windowTitle(), "Kelvra");
        EXPECT_EQ(main.GetFocusedItem(), IDC_RECORD_LIST);
        EXPECT_FALSE(window->windowIcon().isNull());
        QTest::keyClick(window, Qt::Key_Escape);
    });
}

TEST(DialogQt, ClicksAndDoubleClicksReachTheTable) {
    MainWindow main;
    int result = runWith(main, [&](QWidget*) {
        auto* list = qobject_cast<QListWidget*>(dialogControl(main, IDC_RECORD_LIST));
        QTest::mouseClick(dialogControl(main, IDC_READ_SELECTED), Qt::LeftButton);
        QTest::mouseDClick(dialogControl(main, IDC_SERIAL_A), Qt::LeftButton);
        QTest::mouseDClick(dialogControl(main, IDC_FIRMWARE_A), Qt::LeftButton);  // no notify
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rowCentre(list, 2));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rowCentre(list, 0));
        CListBox box = main.GetListBox(IDC_RECORD_LIST);
        EXPECT_EQ(box.GetSelCount(), 2);  // a click toggles: both stay selected
        std::array<int, 4> selected{};
        EXPECT_EQ(box.GetSelItems(4, selected.data()), 2);
        EXPECT_EQ(selected[0], 0);
        EXPECT_EQ(selected[1], 2);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, rowCentre(list, 1));
        dialogWidget(main)->close();
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(main.events, (std::vector<std::string>{"read", "serial A", "selchange", "selchange",
                                                     "selchange", "dblclk 1"}));
}

TEST(DialogQt, EnterInTheListIsOkAndEnterOnAButtonPressesIt) {
    MainWindow main;
    int result = runWith(main, [&](QWidget* window) {
        QWidget* read = dialogControl(main, IDC_READ_SELECTED);
        read->setFocus();
        QTest::keyClick(read, Qt::Key_Return);
        EXPECT_EQ(main.events, std::vector<std::string>{"read"});
        dialogControl(main, IDC_RECORD_LIST)->setFocus();
        QTest::keyClick(dialogControl(main, IDC_RECORD_LIST), Qt::Key_Return);
        EXPECT_FALSE(window->isVisible());
    });
    EXPECT_EQ(result, IDOK);
}

TEST(DialogQt, TimerTicksWhileAMessageBoxFromAHandlerIsUp) {
    MainWindow main;
    std::string shown;
    main.onRead = [&] {
        main.SetTimer(1, 10);
        QTimer::singleShot(0, [&] {
            // Let the timer tick a few times under the box, then answer it.
            QTRY_VERIFY_WITH_TIMEOUT(main.ticks >= 3, 5000);
            answerBoxWhenUp(QMessageBox::Cancel, &shown);
        });
        main.boxAnswer = AfxMessageBox("Вы уверены?", MB_OKCANCEL);
        main.KillTimer(1);
    };
    runWith(main, [&](QWidget* window) {
        QTest::mouseClick(dialogControl(main, IDC_READ_SELECTED), Qt::LeftButton);
        QTest::keyClick(window, Qt::Key_Escape);
    });
    EXPECT_GE(main.ticks, 3);
    EXPECT_EQ(main.boxAnswer, IDCANCEL);
    EXPECT_EQ(shown, "Вы уверены?");
}

unsigned drawingWorker(void* param) {
    auto* main = static_cast<MainWindow*>(param);
    main->ShowItem(IDC_PROGRESS, true);
    CRect client = main->GetItemClientRect(IDC_PROGRESS);
    main->FillSolidRect(IDC_PROGRESS, {0, 0, client.right / 2, client.bottom}, 0xFF0000);
    main->SetItemText(IDC_SERIAL_A, "S/N:   2018-042");
    AfxMessageBox("Unable to create file");
    main->SendCloseMessage();
    return 0;
}

TEST(DialogQt, WorkerCallsAreCarriedToTheWindowAndItsCloseRequestEndsTheRun) {
    MainWindow main;
    QImage drawn;
    std::string text;
    int result = runWith(main, [&](QWidget*) {
        answerBoxWhenUp(QMessageBox::Ok, &text, [&] {
            auto* bar = dynamic_cast<qtui::WhiteRect*>(dialogControl(main, IDC_PROGRESS));
            drawn = bar->image();
            EXPECT_EQ(main.GetItemText(IDC_SERIAL_A), "S/N:   2018-042");
        });
        ASSERT_TRUE(AfxBeginThread(drawingWorker, &main));
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(AfxRunningWorkerCount(), 0);
    EXPECT_EQ(text, "Unable to create file");
    ASSERT_FALSE(drawn.isNull());
    EXPECT_EQ(drawn.pixelColor(0, 0), QColor(0, 0, 255));
    EXPECT_EQ(drawn.pixelColor(drawn.width() - 1, drawn.height() - 1), QColor(Qt::white));
}

TEST(DialogQt, TabsExpandAtTheStopsInPixels) {
    qtui::TabStopDelegate delegate(nullptr);
    delegate.setStops({68});
    EXPECT_EQ(delegate.nextStop(0), 68);
    EXPECT_EQ(delegate.nextStop(67), 68);
    EXPECT_EQ(delegate.nextStop(68), 136);
    delegate.setStops({10, 30});
    EXPECT_EQ(delegate.nextStop(0), 10);
    EXPECT_EQ(delegate.nextStop(10), 30);
    EXPECT_EQ(delegate.nextStop(30), 50);
}

}  // namespace
}  // namespace kelvra::platform
