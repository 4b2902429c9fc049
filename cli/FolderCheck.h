#pragma once

#include <string>
#include <utility>
#include <vector>

#include "download/DownloadManifest.h"

namespace kelvra::cli {

// What `verify` finds in a download folder.
struct FolderCheck {
    // Why the manifest could not be read at all; empty when it could (or is not there).
    std::string manifestError;
    // Every file the manifest lists, by name, as hashed now.
    std::vector<std::pair<std::string, FileCheck>> listed;
    // The folder's WAV files that the manifest does not know.
    std::vector<std::string> unknown;

    bool allListedOk() const;
};

// Hashes every file the folder's manifest lists; the manifest lines that cannot be read are
// told on standard error.
FolderCheck checkFolder(const std::string& folder);

const char* checkName(FileCheck check);

}  // namespace kelvra::cli
