#pragma once

// What the file backends' tests, on Linux and under Windows, make and look at in their folders.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <ostream>
#include <string>

#include "platform/file/OutputFile.h"

namespace kelvra::test {

inline void writeText(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

inline std::string readText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline bool put(platform::OutputFile& file, const std::string& text) {
    return file.write(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

// A parametrized case's name, from its own `name`.
template <class Case>
std::string caseName(const ::testing::TestParamInfo<Case>& info) {
    return info.param.name;
}

// Something another user of a shared folder could have put at the name before the download.
struct Occupant {
    const char* name;
    std::function<void(const std::filesystem::path& name, const std::filesystem::path& folder)>
        place;
    std::function<void(const std::filesystem::path& name, const std::filesystem::path& folder)>
        expectUntouched;
};

inline void PrintTo(const Occupant& occupant, std::ostream* out) {
    *out << occupant.name;
}

}  // namespace kelvra::test
