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
#include "tests/support/FrameworkTemplates.h"

namespace kelvra::platform {
namespace {

using qtui::dialogControl;
using qtui::dialogWidget;
using namespace kelvra::test;

class Form : public CDialog {
public:
    Form() : CDialog(IDD_FORM) {}

    std::vector<std::string> events;
    int ticks = 0;
    int boxAnswer = 0;
    std::function<void()> onStart;

protected:
    bool OnInitDialog() override {
        CDialog::OnInitDialog();
        SetIcon(LoadIconResource(IDI_FORM), true);
        AppendSystemMenu(MF_SEPARATOR);
        AppendSystemMenu(MF_STRING, IDM_SHOW_BOX, LoadStringResource(IDS_SHOW_BOX));
        CListBox list = GetListBox(IDC_LINES);
        list.SetTabStops(45);
        list.InsertString(-1, "первая\t10\tСтрока 1\tA_B");
        list.InsertString(-1, "\t\tСтрока 2\tA_B");
        list.InsertString(-1, "третья\t30\tСтрока 3\tA");
        return true;
    }

    const MessageMap& GetMessageMap() const override {
        static constexpr MessageMapEntry kEntries[] = {
            onTimer<&Form::OnTimer>(),
            onBnClicked<&Form::OnStart>(IDC_START),
            onStnDblClk<&Form::OnNameA>(IDC_NAME_A),
            onLbnSelChange<&Form::OnSelChange>(IDC_LINES),
            onLbnDblClk<&Form::OnListDblClk>(IDC_LINES),
        };
        static constexpr MessageMap kMap{kEntries};
        return kMap;
    }

private:
    void OnTimer(unsigned) { ++ticks; }
    void OnStart() {
        events.push_back("start");
        if (onStart) {
            onStart();
        }
    }
    void OnNameA() { events.push_back("name A"); }
    void OnSelChange() { events.push_back("selchange"); }
    void OnListDblClk() {
        events.push_back("dblclk " + std::to_string(GetListBox(IDC_LINES).GetCaretIndex()));
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

class DialogQt : public FrameworkTest {};

TEST_F(DialogQt, TemplateIsLaidOutInDialogUnitsOfTheFont) {
    const DialogTemplate* tmpl = findDialogTemplate(IDD_FORM);
    ASSERT_NE(tmpl, nullptr);
    Form form;
    runWith(form, [&](QWidget* window) {
        // Every control keeps its place relative to the window: x = du * baseX / 4 and
        // y = du * baseY / 8, with the window converted the same way.
        double unitX = window->width() / static_cast<double>(tmpl->cx);
        double unitY = window->height() / static_cast<double>(tmpl->cy);
        for (const ControlTemplate& item : tmpl->controls) {
            QWidget* control = item.id != IDC_STATIC ? dialogControl(form, item.id) : nullptr;
            if (control == nullptr) {
                continue;
            }
            SCOPED_TRACE(item.id);
            EXPECT_NEAR(control->x(), item.x * unitX, 1.0);
            EXPECT_NEAR(control->y(), item.y * unitY, 1.0);
            EXPECT_NEAR(control->width(), item.cx * unitX, 1.0);
            EXPECT_NEAR(control->height(), item.cy * unitY, 1.0);
        }
        QWidget* start = dialogControl(form, IDC_START);
        QWidget* progress = dialogControl(form, IDC_BAR);
        EXPECT_EQ(qobject_cast<QPushButton*>(start)->text(), QString("Выполнить выбранное"));
        EXPECT_TRUE(progress->isHidden());
        EXPECT_EQ(window->windowTitle(), QString("Проверочная форма"));
        EXPECT_EQ(form.GetFocusedItem(), IDC_LINES);
        // The icon is the table's drawing, its 0x00RRGGBB pixels in their colours.
        QImage icon = window->windowIcon().pixmap(32, 32).toImage();
        EXPECT_EQ(icon.size(), QSize(32, 32));
        EXPECT_EQ(icon.pixelColor(0, 0), QColor(QRgb{kIconFrame}));
        EXPECT_EQ(icon.pixelColor(16, 16), QColor(QRgb{kIconDiagonal}));
        EXPECT_EQ(icon.pixelColor(20, 8), QColor(Qt::white));
        QTest::keyClick(window, Qt::Key_Escape);
    });
}

TEST_F(DialogQt, ClicksAndDoubleClicksReachTheTable) {
    Form form;
    int result = runWith(form, [&](QWidget*) {
        auto* list = qobject_cast<QListWidget*>(dialogControl(form, IDC_LINES));
        QTest::mouseClick(dialogControl(form, IDC_START), Qt::LeftButton);
        QTest::mouseDClick(dialogControl(form, IDC_NAME_A), Qt::LeftButton);
        QTest::mouseDClick(dialogControl(form, IDC_NOTE_A), Qt::LeftButton);  // no notify
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rowCentre(list, 2));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rowCentre(list, 0));
        CListBox box = form.GetListBox(IDC_LINES);
        EXPECT_EQ(box.GetSelCount(), 2);  // a click toggles: both stay selected
        std::array<int, 4> selected{};
        EXPECT_EQ(box.GetSelItems(4, selected.data()), 2);
        EXPECT_EQ(selected[0], 0);
        EXPECT_EQ(selected[1], 2);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, rowCentre(list, 1));
        dialogWidget(form)->close();
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(form.events, (std::vector<std::string>{"start", "name A", "selchange", "selchange",
                                                     "selchange", "dblclk 1"}));
}

TEST_F(DialogQt, EnterInTheListIsOkAndEnterOnAButtonPressesIt) {
    Form form;
    int result = runWith(form, [&](QWidget* window) {
        QWidget* start = dialogControl(form, IDC_START);
        start->setFocus();
        QTest::keyClick(start, Qt::Key_Return);
        EXPECT_EQ(form.events, std::vector<std::string>{"start"});
        dialogControl(form, IDC_LINES)->setFocus();
        QTest::keyClick(dialogControl(form, IDC_LINES), Qt::Key_Return);
        EXPECT_FALSE(window->isVisible());
    });
    EXPECT_EQ(result, IDOK);
}

TEST_F(DialogQt, TimerTicksWhileAMessageBoxFromAHandlerIsUp) {
    Form form;
    std::string shown;
    form.onStart = [&] {
        form.SetTimer(1, 10);
        QTimer::singleShot(0, [&] {
            // Let the timer tick a few times under the box, then answer it.
            QTRY_VERIFY_WITH_TIMEOUT(form.ticks >= 3, 5000);
            answerBoxWhenUp(QMessageBox::Cancel, &shown);
        });
        form.boxAnswer = AfxMessageBox("Вы уверены?", MB_OKCANCEL);
        form.KillTimer(1);
    };
    runWith(form, [&](QWidget* window) {
        QTest::mouseClick(dialogControl(form, IDC_START), Qt::LeftButton);
        QTest::keyClick(window, Qt::Key_Escape);
    });
    EXPECT_GE(form.ticks, 3);
    EXPECT_EQ(form.boxAnswer, IDCANCEL);
    EXPECT_EQ(shown, "Вы уверены?");
}

unsigned drawingWorker(void* param) {
    auto* form = static_cast<Form*>(param);
    form->ShowItem(IDC_BAR, true);
    CRect client = form->GetItemClientRect(IDC_BAR);
    form->FillSolidRect(IDC_BAR, {0, 0, client.right / 2, client.bottom}, 0xFF0000);
    form->SetItemText(IDC_NAME_A, "Имя:   проба-042");
    AfxMessageBox("Unable to create file");
    form->SendCloseMessage();
    return 0;
}

TEST_F(DialogQt, WorkerCallsAreCarriedToTheWindowAndItsCloseRequestEndsTheRun) {
    Form form;
    QImage drawn;
    std::string text;
    int result = runWith(form, [&](QWidget*) {
        answerBoxWhenUp(QMessageBox::Ok, &text, [&] {
            auto* bar = dynamic_cast<qtui::WhiteRect*>(dialogControl(form, IDC_BAR));
            drawn = bar->image();
            EXPECT_EQ(form.GetItemText(IDC_NAME_A), "Имя:   проба-042");
        });
        ASSERT_TRUE(AfxBeginThread(drawingWorker, &form));
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(AfxRunningWorkerCount(), 0);
    EXPECT_EQ(text, "Unable to create file");
    ASSERT_FALSE(drawn.isNull());
    EXPECT_EQ(drawn.pixelColor(0, 0), QColor(0, 0, 255));
    EXPECT_EQ(drawn.pixelColor(drawn.width() - 1, drawn.height() - 1), QColor(Qt::white));
}

TEST_F(DialogQt, TabsExpandAtTheStopsInPixels) {
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
