#include <windows.h>
// After windows.h, whose types it uses.
#include <bcrypt.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "platform/hash/HexDigits.h"
#include "platform/hash/Sha256.h"
#include "platform/win32/Utf16.h"

namespace kelvra::platform {

class Sha256::State {
public:
    State() {
        if (!BCRYPT_SUCCESS(
                BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0))) {
            algorithm = nullptr;
        }
        start();
    }
    ~State() {
        stop();
        if (algorithm != nullptr) {
            BCryptCloseAlgorithmProvider(algorithm, 0);
        }
    }
    State(const State&) = delete;
    State& operator=(const State&) = delete;

    // A hash object cannot be reused before Windows 8: each digest gets a new one. From
    // Windows 7 on, CNG allocates the object's memory itself when given none.
    void start() {
        stop();
        if (algorithm == nullptr ||
            !BCRYPT_SUCCESS(BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0))) {
            hash = nullptr;
        }
    }
    void stop() {
        if (hash != nullptr) {
            BCryptDestroyHash(hash);
            hash = nullptr;
        }
    }

    BCRYPT_ALG_HANDLE algorithm = nullptr;
    // None once CNG has failed: the digest could no longer be trusted.
    BCRYPT_HASH_HANDLE hash = nullptr;
};

Sha256::Sha256() : state_(std::make_unique<State>()) {}

Sha256::~Sha256() = default;

void Sha256::update(const std::uint8_t* bytes, std::size_t count) {
    while (state_->hash != nullptr && count > 0) {
        const ULONG chunk = static_cast<ULONG>(std::min<std::size_t>(count, 0x40000000));
        // CNG only reads the input; its prototype just lacks the const.
        if (!BCRYPT_SUCCESS(BCryptHashData(state_->hash, const_cast<PUCHAR>(bytes), chunk, 0))) {
            state_->stop();
        }
        bytes += chunk;
        count -= chunk;
    }
}

std::string Sha256::hexDigest() {
    UCHAR digest[32];
    const bool done = state_->hash != nullptr &&
                      BCRYPT_SUCCESS(BCryptFinishHash(state_->hash, digest, sizeof digest, 0));
    state_->start();
    return done ? hexDigits(digest, sizeof digest) : std::string();
}

void Sha256::reset() {
    state_->start();
}

std::optional<std::string> sha256OfFile(const std::string& path) {
    // A reparse point at the name is opened itself, not followed, and then refused; a folder
    // does not open without backup semantics.
    HANDLE file =
        CreateFileW(toUtf16(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                    FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    std::optional<std::string> digest;
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileType(file) == FILE_TYPE_DISK && GetFileInformationByHandle(file, &info) &&
        (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) == 0) {
        Sha256 hash;
        std::vector<std::uint8_t> buffer(1 << 16);
        DWORD n = 0;
        while (ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &n, nullptr)) {
            if (n == 0) {
                std::string text = hash.hexDigest();
                if (!text.empty()) {
                    digest = std::move(text);
                }
                break;
            }
            hash.update(buffer.data(), n);
        }
    }
    CloseHandle(file);
    return digest;
}

}  // namespace kelvra::platform
