#pragma once

#include <gtest/gtest.h>

#include <cstdint>

#include "platform/dialog/ResourceTable.h"

// The dialog framework's own test resources: a few windows, a string and an icon that belong to
// no application, so that the framework's tests keep their meaning whatever the application's
// windows look like.
namespace kelvra::test {

// A form: a multiple-selection list, two labels that report double-clicks and one that does
// not, two push buttons and a hidden sunken white rectangle to draw into. 240 x 160 dialog units,
// with a system menu and a minimise box; the list comes first in tab order.
inline constexpr int IDD_FORM = 200;
inline constexpr int IDC_LINES = 1101;
inline constexpr int IDC_NAME_A = 1102;  // reports double-clicks
inline constexpr int IDC_NOTE_A = 1103;  // does not
inline constexpr int IDC_NAME_B = 1104;  // reports double-clicks
inline constexpr int IDC_START = 1105;   // "Выполнить выбранное"
inline constexpr int IDC_RESET = 1106;
inline constexpr int IDC_BAR = 1107;  // 200 x 8 dialog units

// A small box with the icon and a line of text, and no button.
inline constexpr int IDD_BOX = 201;

// Three edits, first in tab order, and two push buttons.
inline constexpr int IDD_FIELDS = 202;
inline constexpr int IDC_YEAR = 1201;
inline constexpr int IDC_NUMBER = 1202;
inline constexpr int IDC_LEVEL = 1203;
inline constexpr int IDC_APPLY = 1204;
inline constexpr int IDC_OTHER = 1205;

// "&Показать окно": the system-menu item that opens the box.
inline constexpr int IDS_SHOW_BOX = 203;
inline constexpr unsigned IDM_SHOW_BOX = 0x0030;

// The only icon: a white square in a blue frame, crossed by a red diagonal.
inline constexpr int IDI_FORM = 300;
inline constexpr std::uint32_t kIconFrame = 0x2050A0;  // 0x00RRGGBB
inline constexpr std::uint32_t kIconDiagonal = 0xC02020;

const platform::ResourceTable& frameworkResources();

// Hands frameworkResources() to the framework. The table is global and other suites hand over
// their own, so every test that opens a window does this first.
void useFrameworkResources();

// A test whose windows come from frameworkResources(). The table is handed over on
// construction, before the fixture's own members: a window object may load its icon or strings
// in its constructor, as applications' windows do.
class FrameworkTest : public ::testing::Test {
protected:
    FrameworkTest() { useFrameworkResources(); }
};

}  // namespace kelvra::test
