#pragma once

#include <string>

namespace kelvra::platform {

// `name` inside `folder`, with the platform's separator unless the folder already ends in one.
inline std::string pathInFolder(const std::string& folder, const std::string& name) {
#ifdef _WIN32
    constexpr char kSeparator = '\\';
    const bool endsInSeparator = !folder.empty() && (folder.back() == '\\' || folder.back() == '/');
#else
    constexpr char kSeparator = '/';
    const bool endsInSeparator = !folder.empty() && folder.back() == '/';
#endif
    return endsInSeparator ? folder + name : folder + kSeparator + name;
}

// Where a file is written until it is complete: beside it, under a name that says it is partial.
inline std::string partialFileName(const std::string& name) {
    return name + ".part";
}

}  // namespace kelvra::platform
