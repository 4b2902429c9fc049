#pragma once

class QWidget;

namespace kelvra::platform {

class CDialog;

// The Qt widgets behind an open dialog, for tests that drive them like a user; nullptr when the
// dialog is not open or has no such control.
namespace qtui {
QWidget* dialogWidget(const CDialog& dialog);
QWidget* dialogControl(const CDialog& dialog, int controlId);
}  // namespace qtui

}  // namespace kelvra::platform
