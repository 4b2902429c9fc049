#pragma once

#include "platform/dialog/Framework.h"
#include "resources/ResourceIds.h"

namespace kelvra {

// The About box: the application's name, nothing to press.
class CAboutDlg : public platform::CDialog {
public:
    CAboutDlg();
};

}  // namespace kelvra
