// Calls from workers reach the window's thread as a message sent (SendMessage) to a
// message-only window of that thread: whichever message loop runs there (a modal dialog's, a
// message box's) delivers it, and the worker waits until it has been handled.
#include <windows.h>

#include <atomic>

#include "platform/dialog/WorkerThread.h"
#include "platform/dialog/backend/Backend.h"

namespace kelvra::platform::backend {

namespace {

constexpr UINT kCarryMessage = WM_APP + 1;
constexpr LRESULT kCarried = 1;
constexpr wchar_t kClassName[] = L"KelvraCarrier";

std::atomic<HWND> gCarrier{nullptr};
std::atomic<bool> gOpen{false};

LRESULT CALLBACK carrierProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kCarryMessage) {
        if (!gOpen.load(std::memory_order_acquire)) {
            return 0;
        }
        (*reinterpret_cast<const std::function<void()>*>(lParam))();
        return kCarried;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

void openCarrier() {
    static const ATOM registered = [] {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = &carrierProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = kClassName;
        return RegisterClassW(&windowClass);
    }();
    (void)registered;
    if (gCarrier.load() == nullptr) {
        gCarrier = CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                   GetModuleHandleW(nullptr), nullptr);
    }
    gOpen.store(true, std::memory_order_release);
}

void closeCarrier() {
    gOpen.store(false, std::memory_order_release);
}

bool carry(const std::function<void()>& call) {
    HWND carrier = gCarrier.load();
    if (!gOpen.load(std::memory_order_acquire) || carrier == nullptr) {
        return false;
    }
    return SendMessageW(carrier, kCarryMessage, 0, reinterpret_cast<LPARAM>(&call)) == kCarried;
}

// Serves (and refuses, the carrier being closed) the calls that workers sent before they saw
// it close, until every worker has returned; then the carrier window goes.
void waitForWorkers() {
    while (AfxRunningWorkerCount() > 0) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_SENDMESSAGE);
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    if (HWND carrier = gCarrier.exchange(nullptr)) {
        DestroyWindow(carrier);
    }
}

void workerEnded() {}

}  // namespace kelvra::platform::backend
