#pragma once

namespace kelvra::platform {

using AFX_THREADPROC = unsigned (*)(void* param);

// Starts `proc(param)` on a new thread with normal priority and the default stack size; it
// runs at once. Returns false if no thread could be started.
//
// The worker reaches windows only through CDialog's calls and AfxMessageBox, which the
// framework carries to the window's thread. When the program's outermost window closes, the
// framework waits for every worker to return before the window object may go away; a worker
// that loops should therefore watch CDialog::IsWindowOpen().
bool AfxBeginThread(AFX_THREADPROC proc, void* param);

// How many workers have not yet returned.
int AfxRunningWorkerCount();

}  // namespace kelvra::platform
