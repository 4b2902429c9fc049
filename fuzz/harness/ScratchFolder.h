#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace kelvra::fuzz {

// The folder the station's downloads go to: made once per process in memory (or the system's
// temporary directory), emptied before each use, removed when the process ends.
class ScratchFolder {
public:
    static ScratchFolder& get();

    const std::filesystem::path& path() const { return path_; }
    // Names of the files in the folder.
    std::vector<std::string> fileNames() const;
    void empty() const;

private:
    ScratchFolder();
    ~ScratchFolder();

    std::filesystem::path path_;
};

}  // namespace kelvra::fuzz
