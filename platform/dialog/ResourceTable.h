#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "platform/dialog/DialogTemplate.h"

// An application's resources as data. On Windows the executable carries them in its resource
// section as well; the other backends know only what the application hands over here.
namespace kelvra::platform {

struct StringResource {
    int id;
    std::string_view text;  // UTF-8
};

struct ResourceTable {
    std::span<const DialogTemplate* const> dialogs;
    std::span<const StringResource> strings;
    // Icon `iconId` drawn at size x size pixels, rows top to bottom, each 0x00RRGGBB; empty when
    // the application has no such icon.
    std::vector<std::uint32_t> (*drawIcon)(int iconId, int size) = nullptr;
};

// Hands the application's resources to the framework, before its first window opens. The table
// must outlive every window.
void UseResources(const ResourceTable& table);

// The template with this resource ID, or nullptr.
const DialogTemplate* findDialogTemplate(int templateId);

// The string table entry with this ID, or an empty view.
std::string_view findStringResource(int stringId);

// The icon's pixels at this size, or empty when there is no such icon.
std::vector<std::uint32_t> drawIconResource(int iconId, int size);

}  // namespace kelvra::platform
