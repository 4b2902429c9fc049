#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/hash/Sha256.h"
#include "tests/support/TempFolder.h"

namespace kelvra::platform {
namespace {

namespace fs = std::filesystem;

// Published test vectors.
constexpr char kEmpty[] = "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";
constexpr char kAbc[] = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
constexpr char kTwoBlocks[] = "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1";
constexpr char kMillionA[] = "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0";

void feed(Sha256& hash, const std::string& text) {
    hash.update(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

TEST(Sha256, KnownVectors) {
    Sha256 hash;
    EXPECT_EQ(hash.hexDigest(), kEmpty);
    feed(hash, "abc");
    EXPECT_EQ(hash.hexDigest(), kAbc);
    feed(hash, "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq");
    EXPECT_EQ(hash.hexDigest(), kTwoBlocks) << "each digest starts the hash afresh";
}

TEST(Sha256, PiecesAcrossBlockBoundariesGiveTheOneShotDigest) {
    const std::string message(1000000, 'a');
    Sha256 hash;
    std::size_t done = 0;
    const std::size_t pieces[] = {0, 1, 63, 64, 65, 127, 4096, 100000};
    for (const std::size_t piece : pieces) {
        hash.update(reinterpret_cast<const std::uint8_t*>(message.data()) + done, piece);
        done += piece;
    }
    feed(hash, message.substr(done));
    EXPECT_EQ(hash.hexDigest(), kMillionA);
}

TEST(Sha256, ResetForgetsWhatCameBefore) {
    Sha256 hash;
    feed(hash, "not part of it");
    hash.reset();
    feed(hash, "abc");
    EXPECT_EQ(hash.hexDigest(), kAbc);
}

TEST(Sha256OfFile, DigestOfTheBytesOfAPlainFileOnly) {
    const test::TempFolder folder;
    const fs::path file = folder.file("Запись 1.wav");
    std::ofstream(file, std::ios::binary) << std::string(1000000, 'a');
    EXPECT_EQ(sha256OfFile(file.string()), kMillionA);
    for (const char* refused : {"missing", "."}) {
        EXPECT_EQ(sha256OfFile((folder.file(refused)).string()), std::nullopt) << refused;
    }
}

}  // namespace
}  // namespace kelvra::platform
