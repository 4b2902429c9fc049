// Controls by ID: texts, visibility, list box operations and drawing into a white rectangle.
#include <gtest/gtest.h>

#include <array>
#include <string>

#include "platform/dialog/Framework.h"
#include "platform/headless/DialogDriver.h"
#include "tests/support/FrameworkTemplates.h"

namespace kelvra::platform {
namespace {

using headless::DialogDriver;
using namespace kelvra::test;

class Form : public CDialog {
public:
    Form() : CDialog(IDD_FORM) {}
};

class DialogControls : public FrameworkTest {
protected:
    void SetUp() override { driver.open(form); }
    void TearDown() override { driver.finish(form); }

    DialogDriver driver;
    Form form;
    CListBox list = form.GetListBox(IDC_LINES);
};

TEST_F(DialogControls, TemplateStateAtStartAndTextsInUtf8) {
    EXPECT_EQ(form.GetItemText(IDC_NAME_A), "");
    EXPECT_EQ(form.GetItemText(IDC_START), "Выполнить выбранное");
    EXPECT_FALSE(form.IsItemVisible(IDC_BAR));
    EXPECT_TRUE(form.IsItemVisible(IDC_LINES));
    EXPECT_TRUE(form.IsItemEnabled(IDC_RESET));
    EXPECT_EQ(list.GetCount(), 0);

    form.SetItemText(IDC_NOTE_A, "Версия:  4.2");
    EXPECT_EQ(form.GetItemText(IDC_NOTE_A), "Версия:  4.2");
    form.ShowItem(IDC_BAR);
    EXPECT_TRUE(form.IsItemVisible(IDC_BAR));
    form.EnableItem(IDC_RESET, false);
    EXPECT_FALSE(form.IsItemEnabled(IDC_RESET));
    EXPECT_EQ(form.GetItemText(4242), "");  // no such control
}

TEST_F(DialogControls, LinesGoWhereTheyAreInsertedAndResetDropsTheSelection) {
    EXPECT_EQ(list.InsertString(0, "b"), 0);
    EXPECT_EQ(list.InsertString(0, "a"), 0);
    EXPECT_EQ(list.InsertString(-1, "d"), 2);
    EXPECT_EQ(list.InsertString(2, "c\t\tСтрока 2\tA_B"), 2);
    EXPECT_EQ(list.InsertString(9, "x"), LB_ERR);
    ASSERT_EQ(list.GetCount(), 4);
    EXPECT_EQ(list.GetText(0), "a");
    EXPECT_EQ(list.GetText(2), "c\t\tСтрока 2\tA_B");
    EXPECT_EQ(list.GetText(3), "d");

    list.SetTabStops(45);
    EXPECT_EQ(driver.tabStops(form, IDC_LINES), std::vector<int>{45});

    ASSERT_TRUE(driver.clickLine(form, IDC_LINES, 1));
    EXPECT_EQ(list.GetSelCount(), 1);
    list.ResetContent();
    EXPECT_EQ(list.GetCount(), 0);
    EXPECT_EQ(list.GetSelCount(), 0);
}

TEST_F(DialogControls, MultipleSelectionTogglesAndSelectedIndexesComeAscendingUpToTheMaximum) {
    for (int i = 0; i < 6; ++i) {
        list.InsertString(i, "line " + std::to_string(i));
    }
    for (int line : {4, 1, 5, 2, 5}) {  // the second click on 5 deselects it
        ASSERT_TRUE(driver.clickLine(form, IDC_LINES, line));
    }
    EXPECT_EQ(list.GetSelCount(), 3);
    EXPECT_EQ(list.GetCaretIndex(), 5);

    std::array<int, 8> indexes{};
    indexes.fill(-7);
    EXPECT_EQ(list.GetSelItems(8, indexes.data()), 3);
    EXPECT_EQ((std::array<int, 4>{indexes[0], indexes[1], indexes[2], indexes[3]}),
              (std::array<int, 4>{1, 2, 4, -7}));

    indexes.fill(-7);
    EXPECT_EQ(list.GetSelItems(2, indexes.data()), 2);
    EXPECT_EQ(indexes[1], 2);
    EXPECT_EQ(indexes[2], -7);  // nothing written past the maximum

    EXPECT_EQ(list.SetSel(-1, false), 0);
    EXPECT_EQ(list.GetSelCount(), 0);
    EXPECT_EQ(list.SetSel(3), 0);
    EXPECT_TRUE(list.GetSel(3));
    EXPECT_EQ(list.SetSel(6), LB_ERR);
}

TEST_F(DialogControls, ProgressBarClientAreaStartsWhiteAndTakesSolidFills) {
    // 200 x 8 dialog units are 300 x 13 pixels; the sunken frame takes one pixel each side.
    CRect client = form.GetItemClientRect(IDC_BAR);
    EXPECT_EQ(client, (CRect{0, 0, 298, 11}));
    EXPECT_EQ(driver.pixel(form, IDC_BAR, 0, 0), 0xFFFFFFu);

    const COLORREF blue = rgbColor(0, 0, 255);
    EXPECT_EQ(blue, 0xFF0000u);
    form.FillSolidRect(IDC_BAR, {0, 0, 224, 11}, blue);
    form.FillSolidRect(IDC_BAR, {224, 0, 298, 11}, 0xFFFFFF);
    EXPECT_EQ(driver.fillCount(form, IDC_BAR), 2);
    EXPECT_EQ(driver.pixel(form, IDC_BAR, 0, 0), blue);
    EXPECT_EQ(driver.pixel(form, IDC_BAR, 223, 10), blue);
    EXPECT_EQ(driver.pixel(form, IDC_BAR, 224, 0), 0xFFFFFFu);
    EXPECT_EQ(driver.pixel(form, IDC_BAR, 297, 10), 0xFFFFFFu);
}

}  // namespace
}  // namespace kelvra::platform
