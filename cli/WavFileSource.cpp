#include "cli/WavFileSource.h"

#include <filesystem>
#include <system_error>

namespace kelvra::cli {

std::unique_ptr<WavFileSource> WavFileSource::open(const std::string& path, std::string& why) {
    namespace fs = std::filesystem;
    const fs::path name(std::u8string(path.begin(), path.end()));
    std::error_code error;
    const fs::file_status status = fs::status(name, error);
    if (status.type() == fs::file_type::not_found) {
        why = "no such file";
        return nullptr;
    }
    if (error) {
        why = error.message();
        return nullptr;
    }
    if (status.type() == fs::file_type::directory) {
        why = "a folder, not a file";
        return nullptr;
    }
    // A FIFO or a device would hold the read, or never end.
    if (status.type() != fs::file_type::regular) {
        why = "not a regular file";
        return nullptr;
    }
    std::unique_ptr<WavFileSource> source(new WavFileSource);
    source->size_ = fs::file_size(name, error);
    if (error) {
        why = error.message();
        return nullptr;
    }
    source->file_.open(name, std::ios::binary);
    if (!source->file_.is_open()) {
        why = "cannot be opened";
        return nullptr;
    }
    return source;
}

std::size_t WavFileSource::read(std::uint64_t offset, std::uint8_t* into, std::size_t count) {
    if (!file_.good() || offset != position_) {
        file_.clear();
        file_.seekg(static_cast<std::streamoff>(offset));
        position_ = offset;
    }
    file_.read(reinterpret_cast<char*>(into), static_cast<std::streamsize>(count));
    const auto got = static_cast<std::size_t>(file_.gcount());
    position_ += got;
    if (got < count && file_.bad()) {
        failure_ = "a read failed";
    }
    return got;
}

}  // namespace kelvra::cli
