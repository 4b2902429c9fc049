#include "tools/blocksim/PortLinks.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace kelvra::blocksim {

namespace {

std::runtime_error systemError(const std::string& what) {
    return std::runtime_error(what + ": " + std::strerror(errno));
}

// mkdir -p, giving the folders it creates `mode`; existing ones are left as they are.
void makeDirectories(const std::string& path, mode_t mode) {
    for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string prefix = path.substr(0, slash);
        if (!prefix.empty() && ::mkdir(prefix.c_str(), mode) != 0 && errno != EEXIST) {
            throw systemError("cannot create " + prefix);
        }
        if (slash == std::string::npos) {
            break;
        }
    }
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) {
        throw std::runtime_error(path + " is not a directory");
    }
}

std::string linkTarget(const std::string& path) {
    char target[4096];
    const ssize_t length = ::readlink(path.c_str(), target, sizeof target);
    return length > 0 ? std::string(target, static_cast<std::size_t>(length)) : std::string();
}

}  // namespace

PortLinks::PortLinks(std::string portDirectory, std::optional<std::string> winePrefix)
    : portDirectory_(std::move(portDirectory)), winePrefix_(std::move(winePrefix)) {}

PortLinks::~PortLinks() {
    while (!published_.empty()) {
        withdraw(published_.begin()->first);
    }
}

std::vector<std::string> PortLinks::prepare() {
    std::vector<std::string> warnings;
    makeDirectories(portDirectory_, 0700);
    struct stat status {};
    if (::stat(portDirectory_.c_str(), &status) == 0 &&
        (status.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        warnings.push_back(portDirectory_ +
                           " is writable by others: Kelvra will not follow the links in it");
    }
    if (winePrefix_) {
        struct stat prefixStatus {};
        if (::stat(winePrefix_->c_str(), &prefixStatus) != 0 || !S_ISDIR(prefixStatus.st_mode)) {
            throw std::runtime_error("Wine prefix " + *winePrefix_ + " is not a directory");
        }
        makeDirectories(*winePrefix_ + "/dosdevices", 0755);
    }
    return warnings;
}

std::vector<std::string> PortLinks::linkPaths(int com) const {
    std::vector<std::string> paths{portDirectory_ + "/COM" + std::to_string(com)};
    if (winePrefix_) {
        paths.push_back(*winePrefix_ + "/dosdevices/com" + std::to_string(com));
    }
    return paths;
}

void PortLinks::publish(int com, const std::string& device) {
    published_[com] = device;
    for (const std::string& path : linkPaths(com)) {
        // Made aside and renamed over the old name, so the name never points nowhere.
        const std::string staged = path + ".new-" + std::to_string(::getpid());
        ::unlink(staged.c_str());
        if (::symlink(device.c_str(), staged.c_str()) != 0) {
            throw systemError("cannot create the link " + staged);
        }
        if (::rename(staged.c_str(), path.c_str()) != 0) {
            const auto error = systemError("cannot create the link " + path);
            ::unlink(staged.c_str());
            throw error;
        }
    }
}

void PortLinks::withdraw(int com) {
    const auto found = published_.find(com);
    if (found == published_.end()) {
        return;
    }
    for (const std::string& path : linkPaths(com)) {
        if (linkTarget(path) == found->second) {
            ::unlink(path.c_str());
        }
    }
    published_.erase(found);
}

}  // namespace kelvra::blocksim
