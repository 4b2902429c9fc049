#pragma once

// Everything the application's windows use of the dialog framework.
#include "platform/dialog/CDialog.h"
#include "platform/dialog/CWinApp.h"
#include "platform/dialog/FolderPicker.h"
#include "platform/dialog/MessageBox.h"
#include "platform/dialog/MessageMap.h"
#include "platform/dialog/ResourceTable.h"
#include "platform/dialog/Resources.h"
#include "platform/dialog/WinDefs.h"
#include "platform/dialog/WorkerThread.h"
