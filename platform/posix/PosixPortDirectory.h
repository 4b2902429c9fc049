#pragma once

#include <string>

#include "platform/serial/SerialPort.h"

namespace kelvra::platform {

// Opens a device named by blockPortDeviceName() as the POSIX serial port does. A COM<n> link
// in the user's port directory is looked up in that directory as checked at this moment,
// reached without following links, never through its path again; any other name is opened as
// it stands.
OpenedPort openBlockPortDevice(const std::string& deviceName);

}  // namespace kelvra::platform
