#include <gtest/gtest.h>

#include <climits>
#include <set>
#include <string>

#include "platform/serial/PortNames.h"

namespace kelvra::platform {
namespace {

TEST(WindowsComDeviceName, KeepsTheBlankForOneDigitPortsAndUsesItAsSecondDigitAbove) {
    EXPECT_EQ(windowsComDeviceName(0), "\\\\.\\COM1 ");
    EXPECT_EQ(windowsComDeviceName(8), "\\\\.\\COM9 ");
    EXPECT_EQ(windowsComDeviceName(9), "\\\\.\\COM10");
    EXPECT_EQ(windowsComDeviceName(11), "\\\\.\\COM12");
    EXPECT_EQ(windowsComDeviceName(18), "\\\\.\\COM19");
    EXPECT_EQ(windowsComDeviceName(19), "\\\\.\\COM20");
    EXPECT_EQ(windowsComDeviceName(28), "\\\\.\\COM29");
}

TEST(WindowsComDeviceName, GivesTwentyNineDistinctNamesAndNothingOutsideThem) {
    std::set<std::string> names;
    for (int index = 0; index < kPortCount; ++index) {
        const std::string name = windowsComDeviceName(index);
        EXPECT_EQ(name.size(), 9u) << index;
        names.insert(name);
    }
    EXPECT_EQ(names.size(), 29u);
    for (int index : {-1, 29, 100, INT_MIN, INT_MAX}) {
        EXPECT_EQ(windowsComDeviceName(index), "") << index;
    }
}

}  // namespace
}  // namespace kelvra::platform
