// Controls by ID: texts, visibility, list box operations and drawing into the progress bar.
#include <gtest/gtest.h>

#include <array>
#include <string>

#include "platform/dialog/Framework.h"
#include "platform/headless/DialogDriver.h"

namespace kelvra::platform {
namespace {

using headless::DialogDriver;

class MainWindow : public CDialog {
public:
    MainWindow() : CDialog(IDD_MAIN_DIALOG) {}
};

class DialogControls : public ::testing::Test {
protected:
    void SetUp() override { driver.open(main); }
    void TearDown() override { driver.finish(main); }

    DialogDriver driver;
    MainWindow main;
    CListBox list = main.GetListBox(IDC_RECORD_LIST);
};

TEST_F(DialogControls, TemplateStateAtStartAndTextsInUtf8) {
    EXPECT_EQ(main.GetItemText(IDC_SERIAL_A), "");
    EXPECT_EQ(main.GetItemText(IDC_READ_SELECTED), "Считать выбранное");
    EXPECT_FALSE(main.IsItemVisible(IDC_PROGRESS));
    EXPECT_TRUE(main.IsItemVisible(IDC_RECORD_LIST));
    EXPECT_TRUE(main.IsItemEnabled(IDC_CLEAR_MEMORY));
    EXPECT_EQ(list.GetCount(), 0);

    main.SetItemText(IDC_FIRMWARE_A, "Прошивка:  4.2");
    EXPECT_EQ(main.GetItemText(IDC_FIRMWARE_A), "Прошивка:  4.2");
    main.ShowItem(IDC_PROGRESS);
    EXPECT_TRUE(main.IsItemVisible(IDC_PROGRESS));
    main.EnableItem(IDC_CLEAR_MEMORY, false);
    EXPECT_FALSE(main.IsItemEnabled(IDC_CLEAR_MEMORY));
    EXPECT_EQ(main.GetItemText(4242), "");  // no such control
}

TEST_F(DialogControls, LinesGoWhereTheyAreInsertedAndResetDropsTheSelection) {
    EXPECT_EQ(list.InsertString(0, "b"), 0);
    EXPECT_EQ(list.InsertString(0, "a"), 0);
    EXPECT_EQ(list.InsertString(-1, "d"), 2);
    EXPECT_EQ(list.InsertString(2, "c\t\tЗапись 2\tA_B"), 2);
    EXPECT_EQ(list.InsertString(9, "x"), LB_ERR);
    ASSERT_EQ(list.GetCount(), 4);
    EXPECT_EQ(list.GetText(0), "a");
    EXPECT_EQ(list.GetText(2), "c\t\tЗапись 2\tA_B");
    EXPECT_EQ(list.GetText(3), "d");

    list.SetTabStops(45);
    EXPECT_EQ(driver.tabStops(main, IDC_RECORD_LIST), std::vector<int>{45});

    ASSERT_TRUE(driver.clickLine(main, IDC_RECORD_LIST, 1));
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
        ASSERT_TRUE(driver.clickLine(main, IDC_RECORD_LIST, line));
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
    // 315 x 7 dialog units are 473 x 11 pixels; the sunken frame takes one pixel each side.
    CRect client = main.GetItemClientRect(IDC_PROGRESS);
    EXPECT_EQ(client, (CRect{0, 0, 471, 9}));
    EXPECT_EQ(driver.pixel(main, IDC_PROGRESS, 0, 0), 0xFFFFFFu);

    const COLORREF blue = rgbColor(0, 0, 255);
    EXPECT_EQ(blue, 0xFF0000u);
    main.FillSolidRect(IDC_PROGRESS, {0, 0, 353, 9}, blue);
    main.FillSolidRect(IDC_PROGRESS, {353, 0, 471, 9}, 0xFFFFFF);
    EXPECT_EQ(driver.fillCount(main, IDC_PROGRESS), 2);
    EXPECT_EQ(driver.pixel(main, IDC_PROGRESS, 0, 0), blue);
    EXPECT_EQ(driver.pixel(main, IDC_PROGRESS, 352, 8), blue);
    EXPECT_EQ(driver.pixel(main, IDC_PROGRESS, 353, 0), 0xFFFFFFu);
    EXPECT_EQ(driver.pixel(main, IDC_PROGRESS, 470, 8), 0xFFFFFFu);
}

}  // namespace
}  // namespace kelvra::platform
