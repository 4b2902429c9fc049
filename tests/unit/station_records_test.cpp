#include <gtest/gtest.h>

#include "tests/support/StationFixture.h"

namespace kelvra {
namespace {

using Bytes = std::vector<std::uint8_t>;
using platform::headless::MessageBoxRecord;

class RecordList : public test::StationFixture {
protected:
    void startWithPair(std::vector<blocksim::EntrySetup> entriesA,
                       std::vector<blocksim::EntrySetup> entriesB) {
        auto a = block(18, 42, 60, true);
        a.entries = std::move(entriesA);
        auto b = block(18, 43, 60, false);
        b.entries = std::move(entriesB);
        addBlock(3, a);
        addBlock(4, b);
        start();
        tick();
        takeReceived(3);
        takeReceived(4);
    }
};

TEST_F(RecordList, MergesBothBlocksCopiesIntoOneLineEach) {
    startWithPair({entry(5, 3, true, 7), entry(6, 1, true, 30)},
                  {entry(9, 3, false, 7), entry(10, 1, true, 1)});
    EXPECT_EQ(listLines(), (std::vector<std::string>{
                               " 5/ 3/2018\t14:01:09\tЗапись 1\tA__",
                               " 5/ 3/2018\t14:07:09\tЗапись 1\tA_B",
                               "\t\tЗапись 2\tA_B",
                               "\t\tЗапись 3\tA_B",
                               " 5/ 3/2018\t14:30:09\tЗапись 1\tA__",
                           }));
    EXPECT_EQ(window->recordTable[0].addrB, 10);
    EXPECT_EQ(window->recordTable[0].swapped, 1);
    EXPECT_EQ(window->recordTable[2].addrA, 5);
    EXPECT_EQ(window->recordTable[2].addrB, 9);
    EXPECT_EQ(driver.tabStops(*window, IDC_RECORD_LIST), std::vector<int>{45});
    EXPECT_EQ(window->GetListBox(IDC_RECORD_LIST).GetSelCount(), 0);
}

TEST_F(RecordList, ABlockFailingAfterTheOtherWasReadEmptiesTheListAndCloses) {
    auto a = block(18, 42, 60, true);
    a.entries = {entry(5, 1, true, 7)};
    auto b = block(18, 43, 60, false);
    b.entries = {entry(9, 1, false, 7)};
    addBlock(3, a);
    start();
    tick();
    ASSERT_EQ(listLines().size(), 1u);
    b.faults.ack(blocksim::Exchange::Directory) =
        blocksim::AckFault{blocksim::AckFault::Kind::Missing, 0, 0, 0};
    addBlock(4, b);
    tick();
    ASSERT_EQ(driver.messageBoxes().size(), 1u);
    EXPECT_EQ(driver.messageBoxes()[0].text, "No Acknowledge");
    EXPECT_TRUE(listLines().empty());
    EXPECT_TRUE(driver.hasEnded(*window));
}

TEST_F(RecordList, NeverWritesPastTheTableAndTellsTheUser) {
    auto a = block(18, 42, 60, true);
    auto b = block(18, 43, 60, false);
    for (int i = 0; i < 41; ++i) {
        a.entries.push_back(entry(static_cast<std::uint8_t>(i), 9, true, i));
        b.entries.push_back(entry(static_cast<std::uint8_t>(100 + i), 4, true, i));
    }
    addBlock(3, a);
    addBlock(4, b);
    start();
    tick();
    EXPECT_EQ(listLines().size(), 320u);
    ASSERT_FALSE(driver.messageBoxes().empty());
    EXPECT_TRUE(driver.isOpen(*window)) << "too many records is no link failure";
}

class ClearMemoryButton : public RecordList {};

TEST_F(ClearMemoryButton, CancelSendsNothing) {
    startWithPair({entry(5, 1, true, 7)}, {entry(9, 1, false, 7)});
    driver.onMessageBox([](const MessageBoxRecord&) { return platform::IDCANCEL; });
    ASSERT_TRUE(driver.click(*window, IDC_CLEAR_MEMORY));
    EXPECT_EQ(driver.messageBoxes().back().text, "Вы уверены?");
    EXPECT_EQ(driver.messageBoxes().back().buttons(), platform::MB_OKCANCEL);
    EXPECT_TRUE(takeReceived(3).empty());
    EXPECT_TRUE(takeReceived(4).empty());
    EXPECT_EQ(listLines().size(), 1u);
}

TEST_F(ClearMemoryButton, BothBlocksAreClearedAndTheListIsReadAgain) {
    startWithPair({entry(5, 1, true, 7)}, {entry(9, 1, false, 7)});
    ASSERT_TRUE(driver.click(*window, IDC_CLEAR_MEMORY));
    EXPECT_EQ(takeReceived(3), (Bytes{0x04, 0x01}));
    EXPECT_EQ(takeReceived(4), (Bytes{0x04, 0x01}));
    EXPECT_TRUE(listLines().empty());
    EXPECT_TRUE(backend.setup(port(3)).entries.empty());
}

TEST_F(ClearMemoryButton, OnlyBlockBPresent) {
    addBlock(4, block(18, 43, 60, false));
    start();
    tick();
    takeReceived(4);
    ASSERT_TRUE(driver.click(*window, IDC_CLEAR_MEMORY));
    EXPECT_EQ(takeReceived(4), (Bytes{0x04, 0x01}));
}

TEST_F(ClearMemoryButton, AWrongAnswerFromBlockAFailsAtOnce) {
    auto a = block(18, 42, 60, true);
    a.faults.ack(blocksim::Exchange::Clear) =
        blocksim::AckFault{blocksim::AckFault::Kind::Wrong, 0x55, 0, 0};
    addBlock(3, a);
    auto b = block(18, 43, 60, false);
    b.faults.silent = false;
    addBlock(4, b);
    start();
    tick();
    takeReceived(3);
    takeReceived(4);
    ASSERT_TRUE(driver.click(*window, IDC_CLEAR_MEMORY));
    EXPECT_EQ(takeReceived(4), Bytes{0x04}) << "B was sent 04 but its answer not awaited";
    ASSERT_EQ(driver.messageBoxes().size(), 2u);
    EXPECT_EQ(driver.messageBoxes()[1].text, "No Acknowledge");
    EXPECT_TRUE(driver.hasEnded(*window));
}

TEST_F(ClearMemoryButton, AFailedWriteToBlockASendsNothingToB) {
    startWithPair({}, {});
    backend.unplug(port(3));
    ASSERT_TRUE(driver.click(*window, IDC_CLEAR_MEMORY));
    EXPECT_TRUE(takeReceived(4).empty());
    EXPECT_EQ(driver.messageBoxes().back().text, "Unable to write communication port");
    EXPECT_TRUE(driver.hasEnded(*window));
}

// Timer 1 runs on while a question is open; a tick that meets a fatal error there (block A
// refusing its clock) closes the window, and the answer to the question then does nothing.
class QuestionOutlivedByAFatalError : public RecordList {
protected:
    void SetUp() override {
        driver.onMessageBox([this](const MessageBoxRecord& box) {
            if (box.text == "Вы уверены?" || box.text == "Удалить?") {
                backend.withModel(port(3), [](blocksim::BlockModel& model) {
                    model.setAckFault(
                        blocksim::Exchange::Clock,
                        blocksim::AckFault{blocksim::AckFault::Kind::Wrong, 0x55, 0, 0});
                });
                tick();
            }
            return platform::IDOK;
        });
        startWithPair({entry(5, 1, true, 7)}, {entry(9, 1, false, 7)});
    }

    void expectNothingSentAfterTheFatalMessage() {
        ASSERT_EQ(driver.messageBoxes().size(), 2u);
        EXPECT_EQ(driver.messageBoxes()[1].text, "No Acknowledge T1");
        EXPECT_TRUE(driver.hasEnded(*window));
        const Bytes sentToA = takeReceived(3);
        ASSERT_EQ(sentToA.size(), 7u) << "block A got more than its clock frame";
        EXPECT_EQ(sentToA.front(), 0x05);
        EXPECT_TRUE(takeReceived(4).empty());
    }
};

TEST_F(QuestionOutlivedByAFatalError, ClearingSendsNothing) {
    ASSERT_TRUE(driver.click(*window, IDC_CLEAR_MEMORY));
    expectNothingSentAfterTheFatalMessage();
}

TEST_F(QuestionOutlivedByAFatalError, DeletingReadsNoList) {
    ASSERT_TRUE(driver.doubleClickLine(*window, IDC_RECORD_LIST, 0));
    expectNothingSentAfterTheFatalMessage();
}

class DeleteByDoubleClick : public RecordList {};

TEST_F(DeleteByDoubleClick, AMergedLineDeletesEachBlocksOwnEntry) {
    startWithPair({entry(5, 2, true, 7), entry(6, 1, true, 9)},
                  {entry(9, 2, false, 7), entry(10, 1, false, 9)});
    ASSERT_TRUE(driver.doubleClickLine(*window, IDC_RECORD_LIST, 0));
    EXPECT_EQ(driver.messageBoxes().back().text, "Удалить?");
    EXPECT_EQ(takeReceived(3), (Bytes{0x03, 5, 0x01}));
    EXPECT_EQ(takeReceived(4), (Bytes{0x03, 9, 0x01}));
    EXPECT_EQ(listLines(), std::vector<std::string>{" 5/ 3/2018\t14:09:09\tЗапись 1\tA_B"});
}

TEST_F(DeleteByDoubleClick, ALineHeldOnlyByBlockAWritesBlockAOnly) {
    startWithPair({entry(5, 1, true, 7)}, {});
    ASSERT_TRUE(driver.doubleClickLine(*window, IDC_RECORD_LIST, 0));
    EXPECT_EQ(takeReceived(3), (Bytes{0x03, 5, 0x01}));
    EXPECT_EQ(takeReceived(4), Bytes{0x01});
}

TEST_F(DeleteByDoubleClick, FurtherRecordsAndASingleBlockDoNothing) {
    startWithPair({entry(5, 2, true, 7)}, {});
    ASSERT_TRUE(driver.doubleClickLine(*window, IDC_RECORD_LIST, 1));
    EXPECT_TRUE(driver.messageBoxes().empty());
    EXPECT_TRUE(takeReceived(3).empty());

    backend.unplug(port(4));
    tick();
    tick();
    ASSERT_TRUE(window->slotA.present);
    takeReceived(3);
    ASSERT_TRUE(driver.doubleClickLine(*window, IDC_RECORD_LIST, 0));
    EXPECT_TRUE(driver.messageBoxes().empty());
    EXPECT_TRUE(takeReceived(3).empty());
}

TEST_F(DeleteByDoubleClick, CancelSendsNothing) {
    startWithPair({entry(5, 1, true, 7)}, {entry(9, 1, false, 7)});
    driver.onMessageBox([](const MessageBoxRecord&) { return platform::IDCANCEL; });
    ASSERT_TRUE(driver.doubleClickLine(*window, IDC_RECORD_LIST, 0));
    EXPECT_TRUE(takeReceived(3).empty());
    EXPECT_TRUE(takeReceived(4).empty());
}

TEST_F(DeleteByDoubleClick, ABlockLostWhileTheQuestionIsOpenDeletesNothing) {
    startWithPair({entry(5, 1, true, 7)}, {entry(9, 1, false, 7)});
    driver.onMessageBox([&](const MessageBoxRecord&) {
        backend.unplug(port(4));
        tick();
        return platform::IDOK;
    });
    ASSERT_TRUE(driver.doubleClickLine(*window, IDC_RECORD_LIST, 0));
    EXPECT_EQ(backend.setup(port(3)).entries.size(), 1u);
}

}  // namespace
}  // namespace kelvra
