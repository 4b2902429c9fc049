// A console's stop requests arrive on a thread of their own; the system ends the program as soon
// as a closed window's, a logoff's or a shutdown's is answered.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/console/StopRequests.h"

namespace kelvra::platform {
namespace {

using namespace std::chrono_literals;

std::atomic<int> stopsAsked{0};

void askStop() {
    ++stopsAsked;
}

class ConsoleStopRequests : public ::testing::Test {
protected:
    void SetUp() override { stopsAsked = 0; }
};

TEST_F(ConsoleStopRequests, AnEndingRequestIsAnsweredOnlyOnceTheJobHasStopped) {
    StopRequests requests(1h);
    requests.catchWith(askStop);
    std::atomic<bool> jobStopped{false};
    bool answered = false;
    bool jobStoppedWhenAnswered = false;
    std::thread console([&] {
        answered = requests.request(true);
        jobStoppedWhenAnswered = jobStopped;
    });
    while (stopsAsked == 0) {
        std::this_thread::yield();
    }
    // The job finishes its pair and records its files, then lets the request go.
    jobStopped = true;
    requests.release();
    console.join();
    EXPECT_TRUE(answered);
    EXPECT_TRUE(jobStoppedWhenAnswered) << "the program would have ended before its manifest";
    EXPECT_EQ(stopsAsked, 1);
}

TEST_F(ConsoleStopRequests, CtrlCIsAnsweredAtOnceAndAJobThatNeverStopsIsWaitedForOnlySoLong) {
    StopRequests interrupts(1h);
    interrupts.catchWith(askStop);
    EXPECT_TRUE(interrupts.request(false));
    EXPECT_EQ(stopsAsked, 1);

    StopRequests endings(10ms);
    endings.catchWith(askStop);
    EXPECT_TRUE(endings.request(true));
    EXPECT_EQ(stopsAsked, 2);
}

TEST_F(ConsoleStopRequests, WithoutACatchTheSystemsDefaultApplies) {
    StopRequests requests(1h);
    EXPECT_FALSE(requests.request(true));
    requests.catchWith(askStop);
    requests.release();
    EXPECT_FALSE(requests.request(true));
    EXPECT_FALSE(requests.request(false));
    EXPECT_EQ(stopsAsked, 0);
}

}  // namespace
}  // namespace kelvra::platform
