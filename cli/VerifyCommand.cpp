#include <cstdio>
#include <filesystem>
#include <set>
#include <string>

#include "cli/Commands.h"
#include "cli/ExitStatus.h"
#include "cli/FolderCheck.h"
#include "platform/json/JsonWriter.h"

namespace kelvra::cli {

namespace {

void printFile(bool json, const std::string& file, const char* status) {
    if (json) {
        platform::JsonObject object;
        object.add("file", file).add("status", status);
        std::printf("%s\n", object.text().c_str());
    } else {
        std::printf("%-8s %s\n", status, file.c_str());
    }
}

// The WAV files of the folder, by name.
std::set<std::string> wavFilesIn(const std::string& folder) {
    std::set<std::string> names;
    std::error_code error;
    const std::u8string path(folder.begin(), folder.end());
    for (std::filesystem::directory_iterator it(path, error), end; !error && it != end;
         it.increment(error)) {
        const std::u8string name = it->path().filename().u8string();
        const std::string text(name.begin(), name.end());
        if (text.size() > 4 && text.ends_with(".wav")) {
            names.insert(text);
        }
    }
    return names;
}

}  // namespace

const char* checkName(FileCheck check) {
    switch (check) {
        case FileCheck::Ok:
            return "ok";
        case FileCheck::Changed:
            return "changed";
        case FileCheck::Missing:
            return "missing";
    }
    return "changed";
}

bool FolderCheck::allListedOk() const {
    for (const auto& [name, check] : listed) {
        if (check != FileCheck::Ok) {
            return false;
        }
    }
    return manifestError.empty();
}

FolderCheck checkFolder(const std::string& folder) {
    FolderCheck result;
    const DownloadManifest manifest = DownloadManifest::load(folder);
    for (const std::string& line : manifest.unreadable()) {
        std::fprintf(stderr, "%s\n", line.c_str());
    }
    result.manifestError = manifest.error();
    if (!result.manifestError.empty()) {
        return result;
    }
    for (const auto& [name, entry] : manifest.entries()) {
        result.listed.emplace_back(name, checkFile(folder, entry));
    }
    for (const std::string& name : wavFilesIn(folder)) {
        if (manifest.entryFor(name) == nullptr) {
            result.unknown.push_back(name);
        }
    }
    return result;
}

int runVerify(const std::string& folder, bool json) {
    std::error_code error;
    if (!std::filesystem::is_directory(std::u8string(folder.begin(), folder.end()), error)) {
        std::fprintf(stderr, "%s: no such folder\n", folder.c_str());
        return kExitUsage;
    }
    const FolderCheck check = checkFolder(folder);
    if (!check.manifestError.empty()) {
        return kExitFailed;
    }
    if (check.listed.empty()) {
        std::fprintf(stderr, "%s: no files downloaded here (%s has no entries)\n", folder.c_str(),
                     kManifestFileName);
        return kExitFailed;
    }
    for (const auto& [name, status] : check.listed) {
        printFile(json, name, checkName(status));
    }
    for (const std::string& name : check.unknown) {
        printFile(json, name, "unknown");
    }
    return check.allListedOk() ? kExitDone : kExitFailed;
}

}  // namespace kelvra::cli
