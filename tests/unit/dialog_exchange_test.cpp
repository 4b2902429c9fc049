// Data exchange with range checks: how edit texts are read, the two messages, where the focus
// goes, and how OK and Cancel use the exchange.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "platform/dialog/Framework.h"
#include "platform/dialog/backend/ParseInt.h"
#include "platform/headless/DialogDriver.h"
#include "tests/support/FrameworkTemplates.h"

namespace kelvra::platform {
namespace {

using headless::DialogDriver;
using namespace kelvra::test;

TEST(DialogParseInt, ReadsTheDecimalPrefixAfterBlanksAndIgnoresTheRest) {
    EXPECT_EQ(parseLeadingInt("2018"), 2018);
    EXPECT_EQ(parseLeadingInt("12abc"), 12);
    EXPECT_EQ(parseLeadingInt(" \t 42 7"), 42);
    EXPECT_EQ(parseLeadingInt("-1"), -1);
    EXPECT_EQ(parseLeadingInt("+7x"), 7);
    EXPECT_EQ(parseLeadingInt("007"), 7);
    EXPECT_EQ(parseLeadingInt(""), std::nullopt);
    EXPECT_EQ(parseLeadingInt("abc"), std::nullopt);
    EXPECT_EQ(parseLeadingInt("-"), std::nullopt);
    EXPECT_EQ(parseLeadingInt("- 5"), std::nullopt);
    EXPECT_EQ(parseLeadingInt("x12"), std::nullopt);
}

TEST(DialogParseInt, SeesOnlyTheFirst63Characters) {
    EXPECT_EQ(parseLeadingInt(std::string(62, ' ') + "5"), 5);
    EXPECT_EQ(parseLeadingInt(std::string(63, ' ') + "5"), std::nullopt);
    EXPECT_EQ(parseLeadingInt(std::string(60, ' ') + "12345"), 123);
}

TEST(DialogParseInt, NumbersBeyondTheIntRangeSaturate) {
    EXPECT_EQ(parseLeadingInt("2147483647"), INT_MAX);
    EXPECT_EQ(parseLeadingInt("99999999999999999999"), INT_MAX);
    EXPECT_EQ(parseLeadingInt("-2147483648"), INT_MIN);
    EXPECT_EQ(parseLeadingInt("-99999999999999999999"), INT_MIN);
}

// Three ranged fields, and a button that takes them over only when they pass.
class FieldsDialog : public CDialog {
public:
    FieldsDialog() : CDialog(IDD_FIELDS) {}

    int year = 2018;
    int number = 42;
    int level = 512;
    int applyClicks = 0;

protected:
    void DoDataExchange(CDataExchange* pDX) override {
        DDX_Text(pDX, IDC_YEAR, year);
        DDV_MinMaxInt(pDX, year, 2000, 2100);
        DDX_Text(pDX, IDC_NUMBER, number);
        DDV_MinMaxInt(pDX, number, 0, 999);
        DDX_Text(pDX, IDC_LEVEL, level);
        DDV_MinMaxInt(pDX, level, 0, 65535);
    }

    const MessageMap& GetMessageMap() const override {
        static constexpr MessageMapEntry kEntries[] = {
            onBnClicked<&FieldsDialog::OnApply>(IDC_APPLY),
        };
        static constexpr MessageMap kMap{kEntries};
        return kMap;
    }

private:
    void OnApply() {
        if (UpdateData(true)) {
            ++applyClicks;
        }
    }
};

class DialogExchange : public FrameworkTest {
protected:
    void SetUp() override {
        driver.setAppName("Проба");
        driver.open(dialog);
    }
    void TearDown() override {
        if (driver.isOpen(dialog)) {
            driver.finish(dialog);
        }
    }

    void type(const std::string& year, const std::string& number, const std::string& level) {
        ASSERT_TRUE(driver.typeText(dialog, IDC_YEAR, year));
        ASSERT_TRUE(driver.typeText(dialog, IDC_NUMBER, number));
        ASSERT_TRUE(driver.typeText(dialog, IDC_LEVEL, level));
        ASSERT_TRUE(driver.setFocus(dialog, IDC_OTHER));
    }

    DialogDriver driver;
    FieldsDialog dialog;
};

TEST_F(DialogExchange, InitialisationWritesTheFieldsInDecimalAndFocusesTheFirstEdit) {
    EXPECT_EQ(dialog.GetItemText(IDC_YEAR), "2018");
    EXPECT_EQ(dialog.GetItemText(IDC_NUMBER), "42");
    EXPECT_EQ(dialog.GetItemText(IDC_LEVEL), "512");
    EXPECT_EQ(dialog.GetFocusedItem(), IDC_YEAR);
    dialog.year = -7;
    EXPECT_TRUE(dialog.UpdateData(false));
    EXPECT_EQ(dialog.GetItemText(IDC_YEAR), "-7");
}

TEST_F(DialogExchange, ValidTextIsStoredInEveryFieldWithoutAMessage) {
    type("2100", "999x", "  65535");
    EXPECT_TRUE(dialog.UpdateData(true));
    EXPECT_EQ(dialog.year, 2100);
    EXPECT_EQ(dialog.number, 999);
    EXPECT_EQ(dialog.level, 65535);
    EXPECT_TRUE(driver.messageBoxes().empty());
}

TEST_F(DialogExchange, OutOfRangeKeepsTheNumberNamesTheRangeFocusesTheEditAndStops) {
    type("2255", "abc", "70000");
    EXPECT_FALSE(dialog.UpdateData(true));
    EXPECT_EQ(dialog.year, 2255);
    EXPECT_EQ(dialog.number, 42);  // the exchange stopped before the number
    EXPECT_EQ(dialog.level, 512);
    ASSERT_EQ(driver.messageBoxes().size(), 1u);
    const headless::MessageBoxRecord& box = driver.messageBoxes()[0];
    EXPECT_EQ(box.text, "Please enter an integer between 2000 and 2100.");
    EXPECT_EQ(box.title, "Проба");
    EXPECT_EQ(box.buttons(), MB_OK);
    EXPECT_EQ(box.icon(), MB_ICONEXCLAMATION);
    EXPECT_EQ(dialog.GetFocusedItem(), IDC_YEAR);
}

TEST_F(DialogExchange, TextWithoutANumberAsksForAnIntegerAndLeavesTheField) {
    type("2000", "", "0");
    EXPECT_FALSE(dialog.UpdateData(true));
    EXPECT_EQ(dialog.year, 2000);
    EXPECT_EQ(dialog.number, 42);
    ASSERT_EQ(driver.messageBoxes().size(), 1u);
    EXPECT_EQ(driver.messageBoxes()[0].text, "Please enter an integer.");
    EXPECT_EQ(driver.messageBoxes()[0].icon(), MB_ICONEXCLAMATION);
    EXPECT_EQ(dialog.GetFocusedItem(), IDC_NUMBER);
}

TEST_F(DialogExchange, RangesAreInclusiveAtBothEnds) {
    struct Case {
        const char* year;
        const char* number;
        const char* level;
        bool passes;
        const char* message;
    };
    const Case cases[] = {
        {"2000", "0", "0", true, ""},
        {"2100", "999", "65535", true, ""},
        {"1999", "0", "0", false, "Please enter an integer between 2000 and 2100."},
        {"2101", "0", "0", false, "Please enter an integer between 2000 and 2100."},
        {"2000", "1000", "0", false, "Please enter an integer between 0 and 999."},
        {"2000", "-1", "0", false, "Please enter an integer between 0 and 999."},
        {"2000", "0", "65536", false, "Please enter an integer between 0 and 65535."},
        {"2000", "0", "-1", false, "Please enter an integer between 0 and 65535."},
        {"2000", "0", "99999999999", false, "Please enter an integer between 0 and 65535."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.year) + " " + c.number + " " + c.level);
        std::size_t before = driver.messageBoxes().size();
        type(c.year, c.number, c.level);
        EXPECT_EQ(dialog.UpdateData(true), c.passes);
        if (c.passes) {
            EXPECT_EQ(driver.messageBoxes().size(), before);
        } else {
            ASSERT_EQ(driver.messageBoxes().size(), before + 1);
            EXPECT_EQ(driver.messageBoxes().back().text, c.message);
        }
    }
}

TEST_F(DialogExchange, EnterOutsideAButtonClosesOnlyWhenTheExchangePasses) {
    type("2101", "1", "1");
    ASSERT_TRUE(driver.setFocus(dialog, IDC_LEVEL));
    EXPECT_TRUE(driver.pressEnter(dialog));
    EXPECT_FALSE(driver.hasEnded(dialog));
    EXPECT_EQ(dialog.GetFocusedItem(), IDC_YEAR);

    ASSERT_TRUE(driver.typeText(dialog, IDC_YEAR, "2100"));
    EXPECT_TRUE(driver.pressEnter(dialog));
    EXPECT_TRUE(driver.hasEnded(dialog));
    EXPECT_EQ(dialog.year, 2100);
    EXPECT_EQ(driver.finish(dialog), IDOK);
}

TEST_F(DialogExchange, EnterOnAPushButtonPressesItInsteadOfOk) {
    ASSERT_TRUE(driver.setFocus(dialog, IDC_APPLY));
    EXPECT_TRUE(driver.pressEnter(dialog));
    EXPECT_EQ(dialog.applyClicks, 1);
    EXPECT_FALSE(driver.hasEnded(dialog));
}

TEST_F(DialogExchange, EscapeAndTheCloseBoxCancelWithoutAnExchange) {
    type("letters", "letters", "letters");
    EXPECT_TRUE(driver.pressEscape(dialog));
    EXPECT_TRUE(driver.messageBoxes().empty());
    EXPECT_EQ(dialog.year, 2018);
    EXPECT_EQ(driver.finish(dialog), IDCANCEL);

    FieldsDialog second;
    driver.open(second);
    ASSERT_TRUE(driver.typeText(second, IDC_YEAR, "x"));
    EXPECT_TRUE(driver.closeBox(second));
    EXPECT_TRUE(driver.messageBoxes().empty());
    EXPECT_EQ(driver.finish(second), IDCANCEL);
}

}  // namespace
}  // namespace kelvra::platform
