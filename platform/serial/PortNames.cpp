#include "platform/serial/PortNames.h"

#include <filesystem>
#include <system_error>

namespace kelvra::platform {

std::string windowsComDeviceName(int index) {
    std::string name = "\\\\.\\COM0 ";
    const std::size_t digit = name.size() - 2;
    const std::size_t blank = name.size() - 1;
    if (index >= 0 && index <= 8) {
        name[digit] = static_cast<char>('1' + index);
    } else if (index >= 9 && index <= 18) {
        name[digit] = '1';
        name[blank] = static_cast<char>('0' + (index - 9));
    } else if (index >= 19 && index <= 28) {
        name[digit] = '2';
        name[blank] = static_cast<char>('0' + (index - 19));
    } else {
        return {};
    }
    return name;
}

namespace {

std::string fixedLinuxDevice(int index) {
    const int group = index / 10;
    std::string name = group == 0 ? "/dev/ttyUSB" : group == 1 ? "/dev/ttyACM" : "/dev/ttyS";
    name += std::to_string(index % 10);
    return name;
}

}  // namespace

std::string linuxComDeviceName(int index, const std::string& portDirectory) {
    if (index < 0 || index >= kPortCount) {
        return {};
    }
    if (!portDirectory.empty()) {
        const std::string link = portDirectory + "/COM" + std::to_string(index + 1);
        // The link itself decides, even while its device is gone: a port must not turn into
        // a different device when a simulated block is unplugged.
        std::error_code error;
        if (std::filesystem::exists(std::filesystem::symlink_status(link, error))) {
            return link;
        }
    }
    return fixedLinuxDevice(index);
}

}  // namespace kelvra::platform
