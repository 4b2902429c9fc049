#pragma once

#include "download/DownloadJob.h"
#include "fuzz/harness/Findings.h"
#include "fuzz/harness/ScratchFolder.h"
#include "platform/headless/DialogDriver.h"
#include "ui/MainDlg.h"

namespace kelvra::fuzz {

// After a job has ended: every file the job counts as complete holds its whole record by the
// sizes in its header, and the folder holds no file that the job did not name.
void checkJobFiles(const DownloadJob& job, const ScratchFolder& folder, Findings& findings);

// At the end of a run: a window still open is idle and shows the blocks it holds; a window
// that closed did so after a message saying why.
void checkEndState(CMainDlg& window, const platform::headless::DialogDriver& driver,
                   Findings& findings);

}  // namespace kelvra::fuzz
