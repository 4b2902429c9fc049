#pragma once

#include "platform/dialog/Framework.h"

namespace kelvra {

// The application object: starts the platform, runs the main window modally and ends the
// program when the window closes.
class CMainApp : public platform::CWinApp {
public:
    bool InitInstance() override;
};

}  // namespace kelvra
