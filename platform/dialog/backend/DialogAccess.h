#pragma once

#include <cstdint>

#include "platform/dialog/CDialog.h"

// Framework internals: how backends reach into a CDialog.
namespace kelvra::platform {

struct DispatchResult {
    bool handled = false;     // a table entry or a framework default took the message
    bool useDefault = false;  // the platform's own default handling should follow
    std::uintptr_t value = 0;
};

class DialogAccess {
public:
    // Delivers a message on the window's thread: the dialog's table first, then the
    // framework's defaults (IDOK -> OnOK, IDCANCEL -> OnCancel, WM_CLOSE -> OnClose).
    static DispatchResult dispatch(CDialog& dialog, const MessageArgs& args);
    static DispatchResult command(CDialog& dialog, int controlId, unsigned code);

    // The caption's close box: WM_SYSCOMMAND SC_CLOSE, whose default sends WM_CLOSE.
    static void systemClose(CDialog& dialog);

    // A modal run in two halves, for backends and drivers that run the loop themselves.
    static bool beginRun(CDialog& dialog);
    static int finishRun(CDialog& dialog);

    // The innermost dialog in a modal run, or nullptr.
    static CDialog* innermost();

    static bool hasEnded(const CDialog& dialog) { return dialog.ended_; }
    static NativeDialog* native(const CDialog& dialog) { return dialog.native_.get(); }
};

// True on a thread started by AfxBeginThread.
bool isWorkerThread();

// Joins every worker; call when none runs any more or none can block on the window's thread.
void joinAllWorkers();

}  // namespace kelvra::platform
