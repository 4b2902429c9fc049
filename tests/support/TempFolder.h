#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace kelvra::test {

// A fresh folder of its own under the system's temporary one, removed with everything in it
// at the end.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // The file `name` (UTF-8) in the folder. A path made from a char string takes it in the
    // system's narrow encoding, which on Windows is not UTF-8: names go through char8_t.
    std::filesystem::path file(std::string_view name) const {
        return path_ / std::u8string(name.begin(), name.end());
    }
    // Regular files in the folder, by name (UTF-8), sorted; the download manifest is not among
    // them.
    std::vector<std::string> fileNames() const;

private:
    std::filesystem::path path_;
};

}  // namespace kelvra::test
