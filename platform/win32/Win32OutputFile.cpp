#include <windows.h>

#include "platform/file/OutputFile.h"
#include "platform/win32/Utf16.h"

namespace kelvra::platform {

class OutputFile::Handle {
public:
    explicit Handle(HANDLE file) : h(file) {}
    HANDLE h;
};

OutputFile::OutputFile() = default;

OutputFile::~OutputFile() {
    close();
}

bool OutputFile::open(const std::string& name) {
    close();
    const std::wstring wideName = toUtf16(name);
    HANDLE file = CreateFileW(wideName.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    handle_ = std::make_unique<Handle>(file);
    return true;
}

bool OutputFile::write(const std::uint8_t* bytes, std::size_t count) {
    if (!handle_) {
        return false;
    }
    std::size_t done = 0;
    while (done < count) {
        const std::size_t chunk = count - done > 0x40000000 ? 0x40000000 : count - done;
        DWORD written = 0;
        if (!WriteFile(handle_->h, bytes + done, static_cast<DWORD>(chunk), &written, nullptr) ||
            written == 0) {
            return false;
        }
        done += written;
    }
    return true;
}

bool OutputFile::close() {
    if (!handle_) {
        return true;
    }
    const bool flushed = FlushFileBuffers(handle_->h) != 0;
    const bool closed = CloseHandle(handle_->h) != 0;
    handle_.reset();
    return flushed && closed;
}

bool OutputFile::isOpen() const {
    return handle_ != nullptr;
}

}  // namespace kelvra::platform
