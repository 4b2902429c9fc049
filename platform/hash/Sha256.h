#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace kelvra::platform {

// SHA-256 as the system's own cryptographic library computes it.
class Sha256 {
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    // Ignored once the system's library has failed, until the next digest or reset.
    void update(const std::uint8_t* bytes, std::size_t count);
    // The digest of everything given since construction or the last reset, as 64 lower-case hex
    // digits, or an empty string when the system's library failed on the way; the hash then
    // starts afresh.
    std::string hexDigest();
    void reset();

private:
    class State;
    std::unique_ptr<State> state_;
};

// The SHA-256 (hex) of a regular file's bytes; nothing when it cannot be opened as a regular
// file (a link at the name is not followed) or read. `path` is UTF-8.
std::optional<std::string> sha256OfFile(const std::string& path);

}  // namespace kelvra::platform
