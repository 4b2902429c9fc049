#pragma once

#include "download/DownloadJob.h"
#include "link/BlockPort.h"

namespace kelvra {

inline constexpr int kRecoveryTries = 5;

enum class RecoveryStep {
    GiveUp,       // too many tries: the job ends, the window returns to idle
    Wait,         // the blocks are missing or different; one more try counted
    StartWorker,  // the blocks are back: a new worker continues or restarts the record
};

// One tick of timer 3 while an interrupted download waits for its blocks. Decides, and on
// StartWorker prepares the job and the stream state for the new worker.
RecoveryStep recoveryTick(CBlockPort& slotA, CBlockPort& slotB, DownloadJob& job);

}  // namespace kelvra
