#include <windows.h>

#include <cctype>
#include <cwctype>
#include <vector>

#include "platform/serial/UsbAdapterInfo.h"
#include "platform/win32/Utf16.h"

namespace kelvra::platform {

namespace {

// Bus drivers whose children may be serial ports: the FTDI driver's own bus, and USB itself
// (CP210x, CH340, CDC ACM and FTDI devices without that bus driver).
constexpr const wchar_t* kEnumerators[] = {L"FTDIBUS", L"USB"};

// An open registry key, closed with its owner.
class Key {
public:
    Key() = default;
    Key(HKEY parent, const std::wstring& path) {
        if (parent == nullptr ||
            RegOpenKeyExW(parent, path.c_str(), 0, KEY_READ, &handle_) != ERROR_SUCCESS) {
            handle_ = nullptr;
        }
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    ~Key() {
        if (handle_ != nullptr) {
            RegCloseKey(handle_);
        }
    }

    HKEY handle() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }

    std::vector<std::wstring> subkeys() const {
        std::vector<std::wstring> names;
        for (DWORD index = 0; handle_ != nullptr; ++index) {
            wchar_t name[256];
            DWORD length = sizeof name / sizeof name[0];
            if (RegEnumKeyExW(handle_, index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
                ERROR_SUCCESS) {
                break;
            }
            names.emplace_back(name, length);
        }
        return names;
    }

    std::wstring text(const wchar_t* value) const {
        DWORD type = 0;
        DWORD size = 0;
        if (handle_ == nullptr ||
            RegQueryValueExW(handle_, value, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
            (type != REG_SZ && type != REG_EXPAND_SZ) || size == 0) {
            return {};
        }
        std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 1, L'\0');
        if (RegQueryValueExW(handle_, value, nullptr, nullptr,
                             reinterpret_cast<BYTE*>(buffer.data()), &size) != ERROR_SUCCESS) {
            return {};
        }
        return std::wstring(buffer.data());
    }

    std::optional<DWORD> number(const wchar_t* value) const {
        DWORD type = 0;
        DWORD data = 0;
        DWORD size = sizeof data;
        if (handle_ == nullptr ||
            RegQueryValueExW(handle_, value, nullptr, &type, reinterpret_cast<BYTE*>(&data),
                             &size) != ERROR_SUCCESS ||
            type != REG_DWORD) {
            return std::nullopt;
        }
        return data;
    }

private:
    HKEY handle_ = nullptr;
};

std::wstring upper(std::wstring text) {
    for (wchar_t& c : text) {
        c = static_cast<wchar_t>(std::towupper(c));
    }
    return text;
}

// "\\.\COM5 " as the serial backend opens it: "COM5".
std::wstring portName(const std::string& device) {
    std::wstring name = toUtf16(device);
    const std::size_t start = name.find_last_of(L'\\');
    name = name.substr(start == std::wstring::npos ? 0 : start + 1);
    while (!name.empty() && name.back() == L' ') {
        name.pop_back();
    }
    return upper(name);
}

// The hive and the path below it of a key written out in full.
HKEY hive(const std::wstring& root, std::wstring& below) {
    const std::size_t slash = root.find(L'\\');
    const std::wstring name = upper(root.substr(0, slash));
    below = slash == std::wstring::npos ? std::wstring() : root.substr(slash + 1);
    if (name == L"HKEY_LOCAL_MACHINE" || name == L"HKLM") {
        return HKEY_LOCAL_MACHINE;
    }
    if (name == L"HKEY_CURRENT_USER" || name == L"HKCU") {
        return HKEY_CURRENT_USER;
    }
    return nullptr;
}

// The four hex digits after `tag` in a hardware id such as VID_0403+PID_6001+A50285BI.
std::string idAfter(const std::wstring& deviceId, const wchar_t* tag) {
    const std::size_t at = upper(deviceId).find(tag);
    if (at == std::wstring::npos) {
        return {};
    }
    std::string digits = toUtf8(deviceId.substr(at + 4, 4));
    for (char& c : digits) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return digits;
}

// A description as an INF file writes it, "@oem7.inf,%desc%;USB Serial Port", or plain text.
std::string description(const std::wstring& text) {
    const std::size_t semicolon = text.find_last_of(L';');
    return toUtf8(text[0] == L'@' && semicolon != std::wstring::npos ? text.substr(semicolon + 1)
                                                                     : text);
}

}  // namespace

std::string systemDeviceTree() {
    return "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet";
}

std::optional<UsbAdapterInfo> usbAdapterInfo(const std::string& device, const std::string& root) {
    std::wstring below;
    const HKEY top = hive(toUtf16(root), below);
    const std::wstring port = portName(device);
    const Key enumTree(top, below.empty() ? L"Enum" : below + L"\\Enum");
    for (const wchar_t* enumerator : kEnumerators) {
        const Key bus(enumTree.handle(), enumerator);
        for (const std::wstring& deviceId : bus.subkeys()) {
            const Key hardware(bus.handle(), deviceId);
            for (const std::wstring& instanceId : hardware.subkeys()) {
                const Key instance(hardware.handle(), instanceId);
                const Key parameters(instance.handle(), L"Device Parameters");
                if (!parameters || port.empty() || upper(parameters.text(L"PortName")) != port) {
                    continue;
                }
                UsbAdapterInfo info;
                info.driver = toUtf8(instance.text(L"Service"));
                info.vendorId = idAfter(deviceId, L"VID_");
                info.productId = idAfter(deviceId, L"PID_");
                const std::wstring desc = instance.text(L"DeviceDesc");
                info.product = desc.empty() ? std::string() : description(desc);
                if (const std::optional<DWORD> latency = parameters.number(L"LatencyTimer")) {
                    info.latencyTimerMs = static_cast<int>(*latency);
                    const std::wstring friendly = instance.text(L"FriendlyName");
                    info.lowerLatency = "Device Manager > Ports (COM & LPT) > " +
                                        toUtf8(friendly.empty() ? port : friendly) +
                                        " > Properties > Port Settings > Advanced > Latency "
                                        "Timer (msec): 1";
                }
                return info;
            }
        }
    }
    return std::nullopt;
}

}  // namespace kelvra::platform
