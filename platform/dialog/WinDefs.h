#pragma once

#include <cstdint>

// The dialog framework's constants and small value types, with the values Windows gives them.
// Windows headers define several of these names as macros; whichever is seen first wins, and the
// values agree, so code that includes both compiles either way.
namespace kelvra::platform {

// A colour in the Windows layout 0x00BBGGRR.
using COLORREF = std::uint32_t;

constexpr COLORREF rgbColor(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    return static_cast<COLORREF>(red) | (static_cast<COLORREF>(green) << 8) |
           (static_cast<COLORREF>(blue) << 16);
}

// A rectangle in pixels; right and bottom are exclusive.
struct CRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    constexpr int Width() const { return right - left; }
    constexpr int Height() const { return bottom - top; }
    friend constexpr bool operator==(const CRect&, const CRect&) = default;
};

// An icon loaded from the resources; opaque, compared only with nullptr and passed back.
struct IconResource;
using IconHandle = const IconResource*;

// Results of a modal run and of message boxes.
#ifndef IDOK
inline constexpr int IDOK = 1;
#endif
#ifndef IDCANCEL
inline constexpr int IDCANCEL = 2;
#endif

// Message box types: buttons in the low four bits, the icon in the next four.
#ifndef MB_OK
inline constexpr unsigned MB_OK = 0x00000000;
#endif
#ifndef MB_OKCANCEL
inline constexpr unsigned MB_OKCANCEL = 0x00000001;
#endif
#ifndef MB_ICONERROR
inline constexpr unsigned MB_ICONERROR = 0x00000010;
#endif
#ifndef MB_ICONQUESTION
inline constexpr unsigned MB_ICONQUESTION = 0x00000020;
#endif
#ifndef MB_ICONEXCLAMATION
inline constexpr unsigned MB_ICONEXCLAMATION = 0x00000030;
#endif
#ifndef MB_ICONINFORMATION
inline constexpr unsigned MB_ICONINFORMATION = 0x00000040;
#endif
#ifndef MB_TYPEMASK
inline constexpr unsigned MB_TYPEMASK = 0x0000000F;
#endif
#ifndef MB_ICONMASK
inline constexpr unsigned MB_ICONMASK = 0x000000F0;
#endif

// Window messages that message tables can name.
#ifndef WM_PAINT
inline constexpr unsigned WM_PAINT = 0x000F;
#endif
#ifndef WM_CLOSE
inline constexpr unsigned WM_CLOSE = 0x0010;
#endif
#ifndef WM_QUERYDRAGICON
inline constexpr unsigned WM_QUERYDRAGICON = 0x0037;
#endif
#ifndef WM_COMMAND
inline constexpr unsigned WM_COMMAND = 0x0111;
#endif
#ifndef WM_SYSCOMMAND
inline constexpr unsigned WM_SYSCOMMAND = 0x0112;
#endif
#ifndef WM_TIMER
inline constexpr unsigned WM_TIMER = 0x0113;
#endif

// Control notifications carried by WM_COMMAND. STN_DBLCLK and LBN_SELCHANGE share a value;
// the control ID tells them apart.
#ifndef BN_CLICKED
inline constexpr unsigned BN_CLICKED = 0;
#endif
#ifndef STN_DBLCLK
inline constexpr unsigned STN_DBLCLK = 1;
#endif
#ifndef LBN_SELCHANGE
inline constexpr unsigned LBN_SELCHANGE = 1;
#endif
#ifndef LBN_DBLCLK
inline constexpr unsigned LBN_DBLCLK = 2;
#endif

// System menu items and commands.
#ifndef MF_STRING
inline constexpr unsigned MF_STRING = 0x00000000;
#endif
#ifndef MF_SEPARATOR
inline constexpr unsigned MF_SEPARATOR = 0x00000800;
#endif
#ifndef SC_CLOSE
inline constexpr unsigned SC_CLOSE = 0xF060;
#endif

// List box failure value.
#ifndef LB_ERR
inline constexpr int LB_ERR = -1;
#endif

}  // namespace kelvra::platform
