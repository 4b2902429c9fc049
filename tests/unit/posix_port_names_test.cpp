// The Linux port names: the user's port directory and the fixed device list.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <set>
#include <string>

#include "platform/serial/PortNames.h"

namespace kelvra::platform {
namespace {

namespace fs = std::filesystem;

class TempDirectory {
public:
    TempDirectory() {
        std::string pattern = (fs::temp_directory_path() / "kelvra-names-XXXXXX").string();
        path_ = mkdtemp(pattern.data());
    }
    ~TempDirectory() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

TEST(LinuxComDeviceName, FallsBackToTheFixedDeviceList) {
    const TempDirectory empty;
    for (const std::string& directory :
         {std::string(), empty.path().string(), (empty.path() / "missing").string()}) {
        EXPECT_EQ(linuxComDeviceName(0, directory), "/dev/ttyUSB0");
        EXPECT_EQ(linuxComDeviceName(9, directory), "/dev/ttyUSB9");
        EXPECT_EQ(linuxComDeviceName(10, directory), "/dev/ttyACM0");
        EXPECT_EQ(linuxComDeviceName(19, directory), "/dev/ttyACM9");
        EXPECT_EQ(linuxComDeviceName(20, directory), "/dev/ttyS0");
        EXPECT_EQ(linuxComDeviceName(28, directory), "/dev/ttyS8");
        EXPECT_EQ(linuxComDeviceName(-1, directory), "");
        EXPECT_EQ(linuxComDeviceName(29, directory), "");
    }
}

TEST(LinuxComDeviceName, PrefersTheLinkInThePortDirectory) {
    const TempDirectory ports;
    fs::create_symlink("/dev/null", ports.path() / "COM3");
    fs::create_symlink("/dev/null", ports.path() / "COM10");
    fs::create_symlink(ports.path() / "gone", ports.path() / "COM29");
    const std::string directory = ports.path().string();

    EXPECT_EQ(linuxComDeviceName(2, directory), directory + "/COM3");
    EXPECT_EQ(linuxComDeviceName(9, directory), directory + "/COM10");
    // A link whose device is gone stays that port's name rather than turning into /dev/ttyS8.
    EXPECT_EQ(linuxComDeviceName(28, directory), directory + "/COM29");
    EXPECT_EQ(linuxComDeviceName(0, directory), "/dev/ttyUSB0");
    EXPECT_EQ(linuxComDeviceName(1, directory), "/dev/ttyUSB1");
}

// Sets XDG_RUNTIME_DIR for one test and puts back what was there.
class RuntimeDirectoryTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* value = std::getenv("XDG_RUNTIME_DIR")) {
            saved_ = value;
        }
    }
    void TearDown() override {
        if (saved_) {
            setenv("XDG_RUNTIME_DIR", saved_->c_str(), 1);
        } else {
            unsetenv("XDG_RUNTIME_DIR");
        }
    }

private:
    std::optional<std::string> saved_;
};

TEST_F(RuntimeDirectoryTest, PortDirectoryFollowsXdgRuntimeDirElseTmpPerUser) {
    const std::string perUser = "/tmp/kelvra-" + std::to_string(getuid()) + "/ports";

    setenv("XDG_RUNTIME_DIR", "/run/user/4242", 1);
    EXPECT_EQ(linuxPortDirectory(), "/run/user/4242/kelvra/ports");
    setenv("XDG_RUNTIME_DIR", "", 1);
    EXPECT_EQ(linuxPortDirectory(), perUser);
    unsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(linuxPortDirectory(), perUser);
}

TEST_F(RuntimeDirectoryTest, BlockPortNamesUseOnlyPortDirectoriesOthersCannotWrite) {
    const TempDirectory runtime;
    setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1);
    const fs::path ports = runtime.path() / "kelvra" / "ports";
    fs::create_directories(ports);
    fs::create_symlink("/dev/null", ports / "COM2");
    const std::string link = (ports / "COM2").string();

    fs::permissions(ports, fs::perms::owner_all | fs::perms::group_read | fs::perms::others_read);
    EXPECT_EQ(blockPortDeviceName(1), link);
    EXPECT_EQ(blockPortDeviceName(0), "/dev/ttyUSB0");

    fs::permissions(ports, fs::perms::others_write, fs::perm_options::add);
    EXPECT_EQ(blockPortDeviceName(1), "/dev/ttyUSB1");
    fs::permissions(ports, fs::perms::others_write, fs::perm_options::remove);
    fs::permissions(ports, fs::perms::group_write, fs::perm_options::add);
    EXPECT_EQ(blockPortDeviceName(1), "/dev/ttyUSB1");

    // A port directory that is itself a link could be pointed anywhere by whoever owns it.
    fs::permissions(ports, fs::perms::group_write, fs::perm_options::remove);
    fs::rename(ports, runtime.path() / "kelvra" / "real");
    fs::create_directory_symlink(runtime.path() / "kelvra" / "real", ports);
    EXPECT_EQ(blockPortDeviceName(1), "/dev/ttyUSB1");
}

}  // namespace
}  // namespace kelvra::platform
