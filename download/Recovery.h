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
// StartWorker prepares the job and the stream state for the new worker. With
// `blocksAwayWithoutLimit`, ticks without the blocks count no try: only failures with the
// blocks there do, so the job waits for them as long as it takes, yet a fault that strikes at
// the same place every time still ends it.
RecoveryStep recoveryTick(CBlockPort& slotA, CBlockPort& slotB, DownloadJob& job,
                          bool blocksAwayWithoutLimit = false);

}  // namespace kelvra
