#include <array>

#include "kelvra/Version.h"
#include "resources/AppIcon.h"
#include "resources/KelvraResources.h"
#include "resources/ResourceIds.h"

namespace kelvra {

namespace {

using platform::ControlKind;
using platform::ControlTemplate;
using platform::DialogTemplate;
using platform::IDC_STATIC;
using platform::StringResource;
using namespace platform::style;

constexpr std::string_view kFont = "MS Shell Dlg";
constexpr int kFontSize = 8;

constexpr ControlTemplate kAboutControls[] = {
    {IDC_STATIC, ControlKind::Static, "128", 7, 7, 21, 20, kChildControl | kSsIcon},
    {IDC_STATIC, ControlKind::Static, KELVRA_ABOUT_TEXT, 34, 8, 54, 8, kLabelControl},
    {IDC_STATIC, ControlKind::Static, "Orvex", 34, 20, 54, 8, kLabelControl},
};

constexpr ControlTemplate kMainControls[] = {
    {IDC_RECORD_LIST, ControlKind::ListBox, "", 7, 7, 175, 166, kListBoxControl | kLbsMultipleSel},
    {IDC_STATIC, ControlKind::GroupBox, "Блок А", 188, 138, 63, 35, kGroupBoxControl},
    {IDC_SERIAL_A, ControlKind::Static, "", 193, 150, 53, 10, kLabelControl | kSsNotify},
    {IDC_FIRMWARE_A, ControlKind::Static, "", 193, 161, 55, 10, kLabelControl},
    {IDC_STATIC, ControlKind::GroupBox, "Блок B", 259, 138, 63, 35, kGroupBoxControl},
    {IDC_SERIAL_B, ControlKind::Static, "", 264, 150, 53, 10, kLabelControl | kSsNotify},
    {IDC_FIRMWARE_B, ControlKind::Static, "", 264, 161, 55, 10, kLabelControl},
    {IDC_CLEAR_MEMORY, ControlKind::PushButton, "Очистить память блоков", 231, 121, 91, 14,
     kPushButtonControl},
    {IDC_READ_SELECTED, ControlKind::PushButton, "Считать выбранное", 189, 32, 133, 59,
     kPushButtonControl},
    {IDC_PROGRESS, ControlKind::Static, "", 7, 175, 315, 7, kWsChild | kSsWhiteRect | kSsSunken},
};

constexpr ControlTemplate kParamSetControls[] = {
    {IDC_FACTORY_YEAR, ControlKind::Edit, "", 7, 7, 32, 12, kEditControl | kEsAutoHScroll},
    {IDC_FACTORY_SERIAL, ControlKind::Edit, "", 45, 7, 29, 12, kEditControl},
    {IDC_BATT, ControlKind::PushButton, "Batt", 81, 23, 28, 12, kPushButtonControl},
    {IDC_SET_SERIAL, ControlKind::PushButton, "Set", 81, 7, 28, 12, kPushButtonControl},
    {IDC_FACTORY_VALUE, ControlKind::Edit, "", 7, 40, 32, 12, kEditControl},
    {IDC_SET_VALUE, ControlKind::PushButton, "Set", 81, 40, 28, 12, kPushButtonControl},
    {IDC_SET_A, ControlKind::PushButton, "Set A", 7, 58, 28, 12, kPushButtonControl},
    {IDC_SET_B, ControlKind::PushButton, "Set B", 81, 58, 28, 12, kPushButtonControl},
    {IDC_REPAIR_DATE, ControlKind::PushButton, "Repair Damaged Date/Time", 7, 76, 102, 12,
     kPushButtonControl},
    {IDC_UNDELETE, ControlKind::PushButton, "UnDelete", 7, 95, 43, 12, kPushButtonControl},
    {IDC_SESSIONS, ControlKind::PushButton, "Sessions", 66, 95, 43, 12, kPushButtonControl},
    {IDC_SESSION_LIST, ControlKind::ListBox, "", 115, 7, 197, 100, kListBoxControl | kLbsSort},
};

constexpr std::uint32_t kBoxStyle =
    kDsSetFont | kDsModalFrame | kDsCenter | kWsPopup | kWsCaption | kWsSysMenu;

constexpr DialogTemplate kAbout{IDD_ABOUTBOX, "Kelvra",      92, 36, kBoxStyle, 0, kFont,
                                kFontSize,    kAboutControls};

constexpr DialogTemplate kMain{
    IDD_MAIN_DIALOG,
    "Kelvra",
    329,
    185,
    kDsSetFont | kDsCenter | kWsMinimizeBox | kWsPopup | kWsCaption | kWsSysMenu,
    kWsExAppWindow,
    kFont,
    kFontSize,
    kMainControls};

constexpr DialogTemplate kParamSet{IDD_PARAMSET, "Factory Setup",  319, 111, kBoxStyle, 0, kFont,
                                   kFontSize,    kParamSetControls};

constexpr std::array<const DialogTemplate*, 3> kTemplates = {&kAbout, &kMain, &kParamSet};

constexpr StringResource kStrings[] = {
    {IDS_ABOUTBOX, "&О программе"},
};

std::vector<std::uint32_t> drawIcon(int iconId, int size) {
    return iconId == IDR_MAINFRAME ? appIconPixels(size) : std::vector<std::uint32_t>{};
}

constexpr platform::ResourceTable kResources{kTemplates, kStrings, &drawIcon};

}  // namespace

const platform::ResourceTable& kelvraResources() {
    return kResources;
}

}  // namespace kelvra
