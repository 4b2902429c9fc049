#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace kelvra::fuzz {

// The folder the station's downloads go to: made once per process in memory (or the system's
// temporary directory), emptied before each use, removed when the process ends.
class ScratchFolder {
public:
    static ScratchFolder& get();

    const std::filesystem::path& path() const { return path_; }
    // The file `name` (UTF-8) in the folder. A path made from a char string takes it in the
    // system's narrow encoding, which on Windows is not UTF-8: names go through char8_t.
    std::filesystem::path file(std::string_view name) const {
        return path_ / std::u8string(name.begin(), name.end());
    }
    // Names of the files in the folder.
    std::vector<std::string> fileNames() const;
    void empty() const;

private:
    ScratchFolder();
    ~ScratchFolder();

    std::filesystem::path path_;
};

}  // namespace kelvra::fuzz
