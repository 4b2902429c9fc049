#include <fcntl.h>
#include <openssl/evp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>
#include <vector>

#include "platform/hash/HexDigits.h"
#include "platform/hash/Sha256.h"

namespace kelvra::platform {

class Sha256::State {
public:
    State() : context(EVP_MD_CTX_new()) { start(); }
    ~State() { EVP_MD_CTX_free(context); }
    State(const State&) = delete;
    State& operator=(const State&) = delete;

    void start() {
        ready = context != nullptr && EVP_DigestInit_ex(context, EVP_sha256(), nullptr) == 1;
    }

    EVP_MD_CTX* context;
    // False once libcrypto has failed: the digest could no longer be trusted.
    bool ready = false;
};

Sha256::Sha256() : state_(std::make_unique<State>()) {}

Sha256::~Sha256() = default;

void Sha256::update(const std::uint8_t* bytes, std::size_t count) {
    if (state_->ready && count > 0) {
        state_->ready = EVP_DigestUpdate(state_->context, bytes, count) == 1;
    }
}

std::string Sha256::hexDigest() {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    const bool done =
        state_->ready && EVP_DigestFinal_ex(state_->context, digest, &length) == 1 && length == 32;
    state_->start();
    return done ? hexDigits(digest, length) : std::string();
}

void Sha256::reset() {
    state_->start();
}

std::optional<std::string> sha256OfFile(const std::string& path) {
    // Not blocking: a FIFO at the name would hold the open until a writer came. It is refused
    // below, and reads of a regular file never wait anyway.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    std::optional<std::string> digest;
    struct stat status {};
    if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode)) {
        Sha256 hash;
        std::vector<std::uint8_t> buffer(1 << 16);
        for (;;) {
            const ssize_t n = ::read(fd, buffer.data(), buffer.size());
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0) {
                break;
            }
            if (n == 0) {
                std::string text = hash.hexDigest();
                if (!text.empty()) {
                    digest = std::move(text);
                }
                break;
            }
            hash.update(buffer.data(), static_cast<std::size_t>(n));
        }
    }
    ::close(fd);
    return digest;
}

}  // namespace kelvra::platform
