#pragma once

#include <string>

namespace kelvra::platform {

// Ports are tried as COM1 to COM29; index i stands for COM(i + 1).
inline constexpr int kPortCount = 29;

// The Windows device name of COM(index + 1) built from the template "\\.\COM0 ": COM1 to COM9
// keep the template's trailing blank, COM10 to COM29 use it for their second digit.
std::string windowsComDeviceName(int index);

// The Linux device of COM(index + 1): the link COM<index+1> in `portDirectory` when it
// exists, otherwise the fixed list /dev/ttyUSB0-9, /dev/ttyACM0-9, /dev/ttyS0-8.
std::string linuxComDeviceName(int index, const std::string& portDirectory);

// The user's port directory: $XDG_RUNTIME_DIR/kelvra/ports, else /tmp/kelvra-<uid>/ports.
std::string linuxPortDirectory();

// The device name that this platform's serial backend opens for COM(index + 1). On Linux the
// links in linuxPortDirectory() count only if every directory from the user's own part down
// (the runtime directory, or kelvra-<uid> in /tmp, then each folder below it) belongs to this
// user or root and nobody else may write to it, and no part of the path is a link; otherwise
// the fixed device list applies.
std::string blockPortDeviceName(int index);

}  // namespace kelvra::platform
