#include "tests/support/FrameworkTemplates.h"

#include <array>
#include <cstdlib>
#include <vector>

namespace kelvra::test {

namespace {

using platform::ControlKind;
using platform::ControlTemplate;
using platform::DialogTemplate;
using platform::IDC_STATIC;
using platform::StringResource;
using namespace platform::style;

constexpr std::string_view kFont = "MS Shell Dlg";
constexpr int kFontSize = 8;

constexpr ControlTemplate kFormControls[] = {
    {IDC_LINES, ControlKind::ListBox, "", 7, 7, 120, 130, kListBoxControl | kLbsMultipleSel},
    {IDC_STATIC, ControlKind::GroupBox, "Первый", 134, 7, 99, 34, kGroupBoxControl},
    {IDC_NAME_A, ControlKind::Static, "", 139, 18, 88, 9, kLabelControl | kSsNotify},
    {IDC_NOTE_A, ControlKind::Static, "", 139, 28, 88, 9, kLabelControl},
    {IDC_STATIC, ControlKind::GroupBox, "Второй", 134, 45, 99, 22, kGroupBoxControl},
    {IDC_NAME_B, ControlKind::Static, "", 139, 55, 88, 9, kLabelControl | kSsNotify},
    {IDC_START, ControlKind::PushButton, "Выполнить выбранное", 134, 73, 99, 30,
     kPushButtonControl},
    {IDC_RESET, ControlKind::PushButton, "Сбросить", 134, 109, 99, 14, kPushButtonControl},
    {IDC_BAR, ControlKind::Static, "", 7, 143, 200, 8, kWsChild | kSsWhiteRect | kSsSunken},
};

constexpr ControlTemplate kBoxControls[] = {
    {IDC_STATIC, ControlKind::Static, "300", 7, 7, 21, 20, kChildControl | kSsIcon},  // IDI_FORM
    {IDC_STATIC, ControlKind::Static, "Проверочная форма", 34, 12, 70, 8, kLabelControl},
};

constexpr ControlTemplate kFieldsControls[] = {
    {IDC_YEAR, ControlKind::Edit, "", 7, 7, 40, 12, kEditControl | kEsAutoHScroll},
    {IDC_NUMBER, ControlKind::Edit, "", 53, 7, 40, 12, kEditControl},
    {IDC_LEVEL, ControlKind::Edit, "", 7, 25, 40, 12, kEditControl},
    {IDC_APPLY, ControlKind::PushButton, "Применить", 100, 7, 53, 12, kPushButtonControl},
    {IDC_OTHER, ControlKind::PushButton, "Другое", 100, 25, 53, 12, kPushButtonControl},
};

constexpr std::uint32_t kBoxStyle =
    kDsSetFont | kDsModalFrame | kDsCenter | kWsPopup | kWsCaption | kWsSysMenu;

constexpr DialogTemplate kForm{
    IDD_FORM,
    "Проверочная форма",
    240,
    160,
    kDsSetFont | kDsCenter | kWsMinimizeBox | kWsPopup | kWsCaption | kWsSysMenu,
    kWsExAppWindow,
    kFont,
    kFontSize,
    kFormControls};

constexpr DialogTemplate kBox{IDD_BOX, "О форме", 110,       40,          kBoxStyle,
                              0,       kFont,     kFontSize, kBoxControls};

constexpr DialogTemplate kFields{IDD_FIELDS, "Поля",         160, 44, kBoxStyle, 0, kFont,
                                 kFontSize,  kFieldsControls};

constexpr std::array<const DialogTemplate*, 3> kTemplates = {&kForm, &kBox, &kFields};

constexpr StringResource kStrings[] = {
    {IDS_SHOW_BOX, "&Показать окно"},
};

std::vector<std::uint32_t> drawIcon(int iconId, int size) {
    if (iconId != IDI_FORM || size <= 0) {
        return {};
    }
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(size * size), 0xFFFFFF);
    int frame = size >= 32 ? 2 : 1;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            bool onFrame = x < frame || y < frame || x >= size - frame || y >= size - frame;
            if (onFrame) {
                pixels[static_cast<std::size_t>(y * size + x)] = kIconFrame;
            } else if (std::abs(x - y) < frame) {
                pixels[static_cast<std::size_t>(y * size + x)] = kIconDiagonal;
            }
        }
    }
    return pixels;
}

constexpr platform::ResourceTable kResources{kTemplates, kStrings, &drawIcon};

}  // namespace

const platform::ResourceTable& frameworkResources() {
    return kResources;
}

void useFrameworkResources() {
    platform::UseResources(kResources);
}

}  // namespace kelvra::test
