#include "resources/RcScript.h"

#include <cstdio>

namespace kelvra {

namespace {

using platform::ControlKind;
using platform::ControlTemplate;
using platform::DialogTemplate;

std::string quoted(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        out += c;
        if (c == '"') {
            out += '"';
        }
    }
    return out + '"';
}

std::string hex(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(value));
    return text;
}

const char* className(ControlKind kind) {
    switch (kind) {
        case ControlKind::PushButton:
        case ControlKind::GroupBox:
            return "Button";
        case ControlKind::Static:
            return "Static";
        case ControlKind::Edit:
            return "Edit";
        case ControlKind::ListBox:
            return "ListBox";
    }
    return "Static";
}

// CONTROL adds WS_CHILD and WS_VISIBLE to whatever it is given; only NOT takes them away.
std::string controlStyle(std::uint32_t style) {
    std::string out = hex(style);
    if ((style & platform::style::kWsVisible) == 0) {
        out += " | NOT WS_VISIBLE";
    }
    if ((style & platform::style::kWsChild) == 0) {
        out += " | NOT WS_CHILD";
    }
    return out;
}

std::string numbers(std::initializer_list<int> values) {
    std::string out;
    for (int value : values) {
        out += (out.empty() ? "" : ", ") + std::to_string(value);
    }
    return out;
}

void appendDialog(std::string& out, const DialogTemplate& dialog) {
    out += std::to_string(dialog.id) + " DIALOGEX " + numbers({0, 0, dialog.cx, dialog.cy}) + "\n";
    out += "STYLE " + hex(dialog.style) + "\n";
    if (dialog.exStyle != 0) {
        out += "EXSTYLE " + hex(dialog.exStyle) + "\n";
    }
    out += "CAPTION " + quoted(dialog.caption) + "\n";
    out += "FONT " + std::to_string(dialog.fontPointSize) + ", " + quoted(dialog.fontName) + "\n";
    out += "BEGIN\n";
    for (const ControlTemplate& control : dialog.controls) {
        // An icon static names its icon by number, unquoted.
        const bool icon =
            control.kind == ControlKind::Static &&
            (control.style & platform::style::kSsTypeMask) == platform::style::kSsIcon;
        out += "    CONTROL " + (icon ? std::string(control.text) : quoted(control.text)) + ", " +
               std::to_string(control.id) + ", " + quoted(className(control.kind)) + ", " +
               controlStyle(control.style) + ", " +
               numbers({control.x, control.y, control.cx, control.cy}) + "\n";
    }
    out += "END\n\n";
}

}  // namespace

std::string resourceScript(const platform::ResourceTable& resources) {
    std::string out = "// Generated at build time from Kelvra's resource table; do not edit.\n\n";
    for (const DialogTemplate* dialog : resources.dialogs) {
        appendDialog(out, *dialog);
    }
    if (!resources.strings.empty()) {
        out += "STRINGTABLE\nBEGIN\n";
        for (const platform::StringResource& entry : resources.strings) {
            out += "    " + std::to_string(entry.id) + " " + quoted(entry.text) + "\n";
        }
        out += "END\n";
    }
    return out;
}

}  // namespace kelvra
