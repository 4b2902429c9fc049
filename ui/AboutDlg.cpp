#include "ui/AboutDlg.h"

namespace kelvra {

CAboutDlg::CAboutDlg() : CDialog(IDD_ABOUTBOX) {}

}  // namespace kelvra
