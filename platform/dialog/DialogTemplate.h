#pragma once

#include <cstdint>
#include <span>
#include <string_view>

// Dialog templates as data: an application's windows as its resource script describes them for
// Windows, laid out by the Qt and headless backends. Positions are in dialog units; styles carry
// the Windows style bits.
namespace kelvra::platform {

inline constexpr int IDC_STATIC = -1;  // a control that nothing addresses

enum class ControlKind {
    PushButton,
    GroupBox,
    Static,  // text, or a white rectangle (SS_WHITERECT), or an icon (SS_ICON)
    Edit,
    ListBox,
};

// Windows style bits that the templates use.
namespace style {
inline constexpr std::uint32_t kWsPopup = 0x80000000;
inline constexpr std::uint32_t kWsChild = 0x40000000;
inline constexpr std::uint32_t kWsVisible = 0x10000000;
inline constexpr std::uint32_t kWsCaption = 0x00C00000;
inline constexpr std::uint32_t kWsBorder = 0x00800000;
inline constexpr std::uint32_t kWsVScroll = 0x00200000;
inline constexpr std::uint32_t kWsSysMenu = 0x00080000;
inline constexpr std::uint32_t kWsGroup = 0x00020000;
inline constexpr std::uint32_t kWsTabStop = 0x00010000;
inline constexpr std::uint32_t kWsMinimizeBox = 0x00020000;  // on a top-level window

inline constexpr std::uint32_t kDsSetFont = 0x0040;
inline constexpr std::uint32_t kDsModalFrame = 0x0080;
inline constexpr std::uint32_t kDsCenter = 0x0800;

inline constexpr std::uint32_t kWsExAppWindow = 0x00040000;

inline constexpr std::uint32_t kBsPushButton = 0x0000;
inline constexpr std::uint32_t kBsGroupBox = 0x0007;

inline constexpr std::uint32_t kSsLeft = 0x0000;
inline constexpr std::uint32_t kSsIcon = 0x0003;
inline constexpr std::uint32_t kSsWhiteRect = 0x0006;
inline constexpr std::uint32_t kSsTypeMask = 0x001F;
inline constexpr std::uint32_t kSsNotify = 0x0100;
inline constexpr std::uint32_t kSsSunken = 0x1000;

inline constexpr std::uint32_t kEsLeft = 0x0000;
inline constexpr std::uint32_t kEsAutoHScroll = 0x0080;

inline constexpr std::uint32_t kLbsNotify = 0x0001;
inline constexpr std::uint32_t kLbsSort = 0x0002;
inline constexpr std::uint32_t kLbsMultipleSel = 0x0008;
inline constexpr std::uint32_t kLbsUseTabStops = 0x0080;

// The usual visible controls, with the styles their resource script statements give them.
inline constexpr std::uint32_t kChildControl = kWsChild | kWsVisible;
inline constexpr std::uint32_t kPushButtonControl = kChildControl | kBsPushButton | kWsTabStop;
inline constexpr std::uint32_t kGroupBoxControl = kChildControl | kBsGroupBox;
inline constexpr std::uint32_t kLabelControl = kChildControl | kSsLeft;
inline constexpr std::uint32_t kEditControl = kChildControl | kEsLeft | kWsBorder | kWsTabStop;
inline constexpr std::uint32_t kListBoxControl =
    kChildControl | kLbsNotify | kLbsUseTabStops | kWsVScroll | kWsBorder | kWsTabStop;
}  // namespace style

struct ControlTemplate {
    int id;  // IDC_STATIC (-1) when nothing addresses the control
    ControlKind kind;
    std::string_view text;  // UTF-8; for an SS_ICON static, the icon's resource ID in decimal
    int x, y, cx, cy;       // dialog units
    std::uint32_t style;    // complete window style, WS_CHILD and WS_VISIBLE included
};

struct DialogTemplate {
    int id;
    std::string_view caption;  // UTF-8
    int cx, cy;                // dialog units
    std::uint32_t style;
    std::uint32_t exStyle;
    std::string_view fontName;
    int fontPointSize;
    std::span<const ControlTemplate> controls;  // in tab order

    const ControlTemplate* control(int controlId) const;
};

}  // namespace kelvra::platform
