#include <cstdio>
#include <optional>
#include <string>

#include "cli/AdapterText.h"
#include "cli/Commands.h"
#include "cli/ExitStatus.h"
#include "cli/RecordText.h"
#include "link/BlockLink.h"
#include "platform/json/JsonWriter.h"
#include "platform/serial/PortNames.h"
#include "platform/serial/PortProbe.h"
#include "platform/serial/UsbAdapterInfo.h"

namespace kelvra::cli {

namespace {

// What a port that could be opened holds, found by the greeting alone.
std::string greet(platform::SerialBackend& backend, const std::string& device) {
    platform::OpenedPort opened = openBlockPort(backend, device);
    if (opened.status == platform::OpenStatus::Failed) {
        return "cannot be opened";
    }
    if (opened.status == platform::OpenStatus::NotConfigurable) {
        closePort(opened.port);
        return "open, but its line settings cannot be set: not a block";
    }
    const HelloResult hello = helloExchange(*opened.port);
    closePort(opened.port);
    if (!hello.ok()) {
        return "open, but not a block";
    }
    return describeBlock(hello.params.roleA(), hello.params.serialYear, hello.params.serialNumber,
                         hello.params.firmware);
}

std::string state(platform::SerialBackend& backend, const platform::PortProbe& probe) {
    switch (probe.access) {
        case platform::PortAccess::Absent:
            return "absent";
        case platform::PortAccess::PermissionDenied:
            return probe.group.empty() ? "cannot be opened: permission denied"
                                       : "cannot be opened: permission denied (members of group " +
                                             probe.group + " have access)";
        case platform::PortAccess::Busy:
            return "cannot be opened: busy, held by another program";
        case platform::PortAccess::Unopenable:
            return "cannot be opened: " + probe.detail;
        case platform::PortAccess::Openable:
            return greet(backend, probe.device);
    }
    return {};
}

const char* accessName(platform::PortAccess access) {
    switch (access) {
        case platform::PortAccess::Absent:
            return "absent";
        case platform::PortAccess::PermissionDenied:
            return "permission denied";
        case platform::PortAccess::Busy:
            return "busy";
        case platform::PortAccess::Unopenable:
            return "cannot be opened";
        case platform::PortAccess::Openable:
            return "open";
    }
    return "cannot be opened";
}

}  // namespace

int runPorts(platform::SerialBackend& backend, bool json) {
    for (int index = 0; index < platform::kPortCount; ++index) {
        const platform::PortProbe probe = platform::probePort(index);
        const std::string described = state(backend, probe);
        const std::optional<platform::UsbAdapterInfo> adapter =
            probe.access == platform::PortAccess::Absent
                ? std::nullopt
                : platform::usbAdapterInfo(probe.device, platform::systemDeviceTree());
        if (json) {
            platform::JsonObject object;
            object.add("port", "COM" + std::to_string(index + 1)).add("device", probe.device);
            if (probe.resolvesTo.empty()) {
                object.addNull("linkTo");
            } else {
                object.add("linkTo", probe.resolvesTo);
            }
            object.add("access", accessName(probe.access)).add("state", described);
            if (adapter) {
                object.add("adapter", adapterJson(*adapter));
            } else {
                object.addNull("adapter");
            }
            std::printf("%s\n", object.text().c_str());
        } else {
            const std::string name =
                probe.resolvesTo.empty()
                    ? probe.device + " (device)"
                    : probe.device + " (port directory link to " + probe.resolvesTo + ")";
            std::printf("COM%-2d  %s  %s\n", index + 1, name.c_str(), described.c_str());
            if (adapter) {
                std::printf("       %s\n", describeAdapter(*adapter).c_str());
                if (const std::optional<std::string> hint = latencyHint(*adapter)) {
                    std::printf("       %s\n", hint->c_str());
                }
            }
        }
        std::fflush(stdout);
    }
    return kExitDone;
}

}  // namespace kelvra::cli
