#include "cli/Pace.h"

#include <chrono>
#include <thread>

#include "platform/console/Console.h"

namespace kelvra::cli {

namespace {

class SystemPace : public Pace {
public:
    void second() override {
        // In slices, so that a stop is heard at once.
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(1);
        while (stops() == 0 && std::chrono::steady_clock::now() < end) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
};

// A signal handler takes no argument: the one pace that catches requests is kept here.
std::atomic<Pace*> catching{nullptr};

void onStopRequest() {
    if (Pace* pace = catching.load()) {
        pace->requestStop();
    }
}

}  // namespace

Pace& systemPace() {
    static SystemPace pace;
    return pace;
}

CaughtStopRequests::CaughtStopRequests(Pace& pace) {
    catching = &pace;
    platform::catchStopRequests(onStopRequest);
}

CaughtStopRequests::~CaughtStopRequests() {
    platform::releaseStopRequests();
    catching = nullptr;
}

}  // namespace kelvra::cli
