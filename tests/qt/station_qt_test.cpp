// The real main window on the Qt backend, with its one-second timer, against simulated blocks
// on pseudo-terminals: panels, About box, record list, delete, download and factory setup,
// driven with mouse and keys.
#include <gtest/gtest.h>

#include <QApplication>
#include <QColor>
#include <QImage>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include <chrono>
#include <string>
#include <vector>

#include "platform/qt/QtControls.h"
#include "platform/qt/QtDialogAccess.h"
#include "tests/qt/QtStation.h"
#include "tests/support/ExpectedWav.h"
#include "tests/support/WavExpectation.h"

namespace kelvra::test {
namespace {

using namespace std::chrono_literals;
using platform::CDialog;
using Lines = std::vector<std::string>;

// Block A (2018-042, firmware 6.0, service flag) on COM3 and block B (2018-043, firmware
// 6.1) on COM4. Entries 5 and 9 are one recording of both blocks; 6 is block A's alone and
// 11 block B's alone.
constexpr const char* kPairScenario = R"({"blocks": [
  {"com": 3, "serialYear": 18, "serialNumber": 42, "firmware": 60, "role": "A", "service": true,
   "entries": [
     {"address": 5, "records": 2, "time": "2018-03-05 14:07:09", "entryInfo": [1, 0, 3, 0],
      "setting1": [17, 18, 0, 0], "setting2": [33, 34, 0, 0], "sampleRate": 8000,
      "duration": 2},
     {"address": 6, "records": 1, "time": "2018-03-05 14:30:09", "entryInfo": [1, 0, 0, 0],
      "setting1": [19, 0, 0, 0], "setting2": [35, 0, 0, 0], "sampleRate": 11025,
      "duration": 1}],
   "sessions": [
     {"status": 255, "number": 12, "time": "2018-03-05 14:07:09", "value": 7},
     {"status": 1, "number": 4, "time": "2018-06-21 09:15:30", "value": 512}]},
  {"com": 4, "serialYear": 18, "serialNumber": 43, "firmware": 61, "role": "B",
   "entries": [
     {"address": 9, "records": 2, "time": "2018-03-05 14:07:09", "entryInfo": [1, 0, 3, 0],
      "setting1": [49, 50, 0, 0], "setting2": [65, 66, 0, 0], "sampleRate": 8000,
      "duration": 2},
     {"address": 11, "records": 1, "time": "2018-03-06 09:00:00", "entryInfo": [1, 0, 0, 0],
      "setting1": [51, 0, 0, 0], "setting2": [67, 0, 0, 0], "sampleRate": 8000,
      "duration": 1}]}]})";

const Lines kPairLines = {
    " 5/ 3/2018\t14:07:09\tЗапись 1\tA_B",
    "\t\tЗапись 2\tA_B",
    " 5/ 3/2018\t14:30:09\tЗапись 1\tA__",
    " 6/ 3/2018\t09:00:00\tЗапись 1\t__B",
};

// Both blocks are placed by the first tick, one second after the window opens; the second
// tick and a busy machine are the margin.
constexpr auto kPlacedWithin = 3000ms;

class StationWindow : public ::testing::Test {
protected:
    QtStation station{kPairScenario};
    CMainDlg& window = station.window();

    // Waits for both panels, as the first ticks fill them.
    bool waitForBothBlocks(std::chrono::milliseconds timeout = 10s) {
        return user::waitFor(
            [&] {
                return !window.GetItemText(IDC_SERIAL_A).empty() &&
                       !window.GetItemText(IDC_SERIAL_B).empty();
            },
            timeout);
    }

    Lines panels() {
        return {window.GetItemText(IDC_SERIAL_A), window.GetItemText(IDC_FIRMWARE_A),
                window.GetItemText(IDC_SERIAL_B), window.GetItemText(IDC_FIRMWARE_B)};
    }

    Lines recordList() { return user::listLines(window, IDC_RECORD_LIST); }
};

TEST_F(StationWindow, PanelsFillOnTheFirstTicksAndTheAboutBoxComesAndGoes) {
    station.run([&] {
        const auto opened = std::chrono::steady_clock::now();
        EXPECT_EQ(panels(), (Lines{"", "", "", ""}));
        ASSERT_TRUE(waitForBothBlocks());
        EXPECT_LE(std::chrono::steady_clock::now() - opened, kPlacedWithin);
        const Lines shown = {"S/N:   2018-042", "Прошивка:  6.0", "S/N:   2018-043",
                             "Прошивка:  6.1"};
        EXPECT_EQ(panels(), shown);
        ASSERT_TRUE(user::waitFor([&] { return recordList() == kPairLines; }, 5s));

        int aboutTemplate = 0;
        std::string aboutTitle;
        user::whenDialogUp(window, [&](CDialog& about) {
            aboutTemplate = about.GetTemplateId();
            aboutTitle = platform::qtui::dialogWidget(about)->windowTitle().toStdString();
            user::pressEscape(about);
        });
        std::vector<QString> offered;
        user::chooseSystemMenuItem(window, "&О программе", &offered);
        EXPECT_EQ(aboutTemplate, IDD_ABOUTBOX);
        EXPECT_EQ(aboutTitle, "Kelvra");
        ASSERT_GE(offered.size(), 2u);
        EXPECT_EQ(offered[offered.size() - 2], "-");
        EXPECT_EQ(offered.back(), "&О программе");

        // Back in the main window, which kept its state and still takes the input.
        EXPECT_TRUE(window.IsWindowOpen());
        EXPECT_EQ(QApplication::activeModalWidget(), platform::qtui::dialogWidget(window));
        EXPECT_EQ(panels(), shown);
        EXPECT_EQ(recordList(), kPairLines);
        EXPECT_FALSE(window.IsItemVisible(IDC_PROGRESS));
    });
}

TEST_F(StationWindow, ADoubleClickOnADatedLineDeletesTheEntryInBothBlocksAfterOk) {
    station.run([&] {
        ASSERT_TRUE(waitForBothBlocks());
        ASSERT_TRUE(user::waitFor([&] { return recordList() == kPairLines; }, 5s));

        std::string question;
        user::answerMessageBox(QMessageBox::Cancel, &question);
        user::doubleClickLine(window, IDC_RECORD_LIST, 0);
        EXPECT_EQ(question, "Удалить?");
        EXPECT_EQ(recordList(), kPairLines);
        EXPECT_NE(station.blockStatus(3).find(" entries 2"), std::string::npos);

        question.clear();
        user::answerMessageBox(QMessageBox::Ok, &question);
        user::doubleClickLine(window, IDC_RECORD_LIST, 0);
        EXPECT_EQ(question, "Удалить?");
        // Both records of the merged entry are gone from the list and from both blocks.
        EXPECT_EQ(recordList(), (Lines{kPairLines[2], kPairLines[3]}));
        EXPECT_NE(station.blockStatus(3).find(" entries 1"), std::string::npos)
            << station.blockStatus(3);
        EXPECT_NE(station.blockStatus(4).find(" entries 1"), std::string::npos)
            << station.blockStatus(4);
    });
}

TEST_F(StationWindow, ReadingTheSelectionWritesTheFilesWhileTheBarGrows) {
    TempFolder folder;
    std::string pickerTitle;
    std::vector<int> barExtents;
    station.run([&] {
        ASSERT_TRUE(waitForBothBlocks());
        ASSERT_TRUE(user::waitFor([&] { return recordList() == kPairLines; }, 5s));
        for (int line : {1, 2, 3}) {
            user::clickLine(window, IDC_RECORD_LIST, line);
        }
        ASSERT_EQ(window.GetListBox(IDC_RECORD_LIST).GetSelCount(), 3);

        user::pickFolder(folder.path().string(), &pickerTitle);
        user::click(window, IDC_READ_SELECTED);
        // The worker runs: the buttons stay off and the bar shows until it has finished.
        EXPECT_TRUE(window.IsItemVisible(IDC_PROGRESS));
        EXPECT_FALSE(window.IsItemEnabled(IDC_READ_SELECTED));
        EXPECT_FALSE(window.IsItemEnabled(IDC_CLEAR_MEMORY));
        auto* bar = dynamic_cast<platform::qtui::WhiteRect*>(
            platform::qtui::dialogControl(window, IDC_PROGRESS));
        ASSERT_NE(bar, nullptr);
        const bool finished = user::waitFor(
            [&] {
                const QImage image = bar->image();
                int blue = 0;
                while (!image.isNull() && blue < image.width() &&
                       image.pixelColor(blue, image.height() / 2) == QColor(0, 0, 255)) {
                    ++blue;
                }
                if (barExtents.empty() || barExtents.back() != blue) {
                    barExtents.push_back(blue);
                }
                return platform::AfxRunningWorkerCount() == 0;
            },
            20s);
        ASSERT_TRUE(finished);
        EXPECT_TRUE(window.IsItemEnabled(IDC_READ_SELECTED));
        EXPECT_TRUE(window.IsItemEnabled(IDC_CLEAR_MEMORY));
        EXPECT_FALSE(window.IsItemVisible(IDC_PROGRESS));
        EXPECT_EQ(panels()[0], "S/N:   2018-042") << "the blocks stay placed";
    });

    EXPECT_EQ(pickerTitle, "Выберите папку для сохранения");
    // Drawn after every pair of sectors but the last, the bar only ever grew.
    EXPECT_GE(barExtents.size(), 3u);
    for (std::size_t i = 1; i < barExtents.size(); ++i) {
        EXPECT_GT(barExtents[i], barExtents[i - 1]);
    }

    const blocksim::BlockSetup& a = station.setup(3);
    const blocksim::BlockSetup& b = station.setup(4);
    struct Expected {
        const char* name;
        ChannelSource left;
        ChannelSource right;
        std::uint8_t recordIndex;
    };
    const Expected files[] = {
        {"5 Марта 18г 14-07-09 Запись 2.wav", {&a, 5}, {&b, 9}, 1},
        {"5 Марта 18г 14-30-09 Запись 1.wav", {&a, 6}, {}, 0},
        {"6 Марта 18г 09-00-00 Запись 1.wav", {}, {&b, 11}, 0},
    };
    EXPECT_EQ(folder.fileNames(), (Lines{files[0].name, files[1].name, files[2].name}));
    for (const Expected& file : files) {
        SCOPED_TRACE(file.name);
        EXPECT_EQ(fileDifference(readFileBytes(folder.path() / file.name),
                                 expectedWavFile(file.left, file.right, file.recordIndex)),
                  "");
    }
}

TEST_F(StationWindow, FactorySetupOpensOnlyForTheBlockWithTheServiceFlag) {
    Lines shownValues;
    std::vector<std::string> sessionLines;
    int factoryTemplate = 0;
    station.run([&] {
        ASSERT_TRUE(waitForBothBlocks());

        user::whenDialogUp(window, [&](CDialog& factory) {
            factoryTemplate = factory.GetTemplateId();
            shownValues = {factory.GetItemText(IDC_FACTORY_YEAR),
                           factory.GetItemText(IDC_FACTORY_SERIAL),
                           factory.GetItemText(IDC_FACTORY_VALUE)};
            user::typeInto(factory, IDC_FACTORY_SERIAL, "77");
            user::click(factory, IDC_SET_SERIAL);
            user::click(factory, IDC_SESSIONS);
            sessionLines = user::listLines(factory, IDC_SESSION_LIST);
            user::pressEscape(factory);
        });
        user::doubleClick(window, IDC_SERIAL_A);
        EXPECT_EQ(factoryTemplate, IDD_PARAMSET);
        EXPECT_EQ(QApplication::activeModalWidget(), platform::qtui::dialogWidget(window));
        // The block took the new number; the panel keeps the one it was greeted with.
        EXPECT_NE(station.blockStatus(3).find(" serial 18-077 "), std::string::npos)
            << station.blockStatus(3);
        EXPECT_EQ(window.GetItemText(IDC_SERIAL_A), "S/N:   2018-042");

        // Block B has no service flag: its label opens nothing.
        bool opened = false;
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            QWidget* top = QApplication::activeModalWidget();
            if (top != nullptr && top != platform::qtui::dialogWidget(window)) {
                opened = true;
                QTest::keyClick(top, Qt::Key_Escape);
            }
        });
        watch.start(10);
        // The handler runs within the double click: had it opened a dialog, the watch would
        // have closed it before the click returned.
        user::doubleClick(window, IDC_SERIAL_B);
        watch.stop();
        EXPECT_FALSE(opened);
        EXPECT_NE(station.blockStatus(4).find(" serial 18-043 "), std::string::npos);
    });

    EXPECT_EQ(shownValues, (Lines{"2018", "42", "512"}));
    ASSERT_EQ(sessionLines.size(), 40u);
    EXPECT_EQ(sessionLines[0], "00 D\tR12\t05/03/2018 14:07:09\t007");
    EXPECT_EQ(sessionLines[1], "01  \tR4\t21/06/2018 09:15:30\t512");
    EXPECT_EQ(sessionLines[39], "39 D\tR255\t165/165/20165 165:165:165\t65535")
        << "sessions the block never wrote read as erased memory";
}

}  // namespace
}  // namespace kelvra::test
