#include "platform/dialog/ResourceTable.h"

namespace kelvra::platform {

namespace {

const ResourceTable* gResources = nullptr;

}  // namespace

void UseResources(const ResourceTable& table) {
    gResources = &table;
}

const ControlTemplate* DialogTemplate::control(int controlId) const {
    for (const ControlTemplate& item : controls) {
        if (item.id == controlId && controlId != IDC_STATIC) {
            return &item;
        }
    }
    return nullptr;
}

const DialogTemplate* findDialogTemplate(int templateId) {
    if (gResources == nullptr) {
        return nullptr;
    }
    for (const DialogTemplate* tmpl : gResources->dialogs) {
        if (tmpl->id == templateId) {
            return tmpl;
        }
    }
    return nullptr;
}

std::string_view findStringResource(int stringId) {
    if (gResources == nullptr) {
        return {};
    }
    for (const StringResource& entry : gResources->strings) {
        if (entry.id == stringId) {
            return entry.text;
        }
    }
    return {};
}

std::vector<std::uint32_t> drawIconResource(int iconId, int size) {
    if (gResources == nullptr || gResources->drawIcon == nullptr) {
        return {};
    }
    return gResources->drawIcon(iconId, size);
}

}  // namespace kelvra::platform
