#pragma once

// Resource and control identifiers of Kelvra's windows: the resource table and the Windows
// resource script generated from it use these numbers.
namespace kelvra {

inline constexpr int IDD_ABOUTBOX = 100;     // About box
inline constexpr int IDS_ABOUTBOX = 101;     // "&О программе", the system-menu item
inline constexpr int IDD_MAIN_DIALOG = 102;  // main window
inline constexpr int IDR_MAINFRAME = 128;    // application icon
inline constexpr int IDD_PARAMSET = 129;     // factory setup

// System-menu command of the About item.
inline constexpr unsigned IDM_ABOUTBOX = 0x0010;

// Main window (template 102).
inline constexpr int IDC_RECORD_LIST = 1002;
inline constexpr int IDC_SERIAL_A = 1003;
inline constexpr int IDC_FIRMWARE_A = 1004;
inline constexpr int IDC_SERIAL_B = 1005;
inline constexpr int IDC_FIRMWARE_B = 1006;
inline constexpr int IDC_CLEAR_MEMORY = 1007;
inline constexpr int IDC_READ_SELECTED = 1010;
inline constexpr int IDC_PROGRESS = 1011;

// Factory setup (template 129).
inline constexpr int IDC_FACTORY_YEAR = 1008;
inline constexpr int IDC_FACTORY_SERIAL = 1009;
inline constexpr int IDC_BATT = 1012;
inline constexpr int IDC_SET_SERIAL = 1013;
inline constexpr int IDC_FACTORY_VALUE = 1014;
inline constexpr int IDC_SET_VALUE = 1015;
inline constexpr int IDC_SET_A = 1016;
inline constexpr int IDC_SET_B = 1017;
inline constexpr int IDC_REPAIR_DATE = 1018;
inline constexpr int IDC_UNDELETE = 1020;
inline constexpr int IDC_SESSIONS = 1021;
inline constexpr int IDC_SESSION_LIST = 1022;

}  // namespace kelvra
