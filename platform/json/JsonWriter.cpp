#include "platform/json/JsonWriter.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace kelvra::platform {

std::string jsonString(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x",
                                  static_cast<unsigned>(static_cast<unsigned char>(c)));
                    out += escaped;
                } else {
                    out += c;
                }
        }
    }
    return out + "\"";
}

JsonObject& JsonObject::member(const std::string& name, const std::string& value) {
    if (!members_.empty()) {
        members_ += ",";
    }
    members_ += jsonString(name) + ":" + value;
    return *this;
}

JsonObject& JsonObject::add(const std::string& name, const std::string& value) {
    return member(name, jsonString(value));
}

JsonObject& JsonObject::add(const std::string& name, const char* value) {
    return add(name, std::string(value));
}

JsonObject& JsonObject::add(const std::string& name, std::int64_t value) {
    return member(name, std::to_string(value));
}

JsonObject& JsonObject::addFixed(const std::string& name, double value, int decimals) {
    if (!std::isfinite(value)) {
        return addNull(name);
    }
    const double scale = std::pow(10.0, decimals);
    double rounded = std::round(value * scale) / scale;
    // A value that rounds to zero from below is written 0, not -0.
    if (rounded == 0.0) {
        rounded = 0.0;
    }
    char text[64];
    const auto [end, error] =
        std::to_chars(text, text + sizeof text, rounded, std::chars_format::fixed, decimals);
    if (error != std::errc()) {
        return addNull(name);
    }
    return member(name, std::string(text, end));
}

JsonObject& JsonObject::add(const std::string& name, const std::vector<JsonObject>& array) {
    std::string text = "[";
    for (const JsonObject& element : array) {
        if (text.size() > 1) {
            text += ",";
        }
        text += element.text();
    }
    text += "]";
    return member(name, text);
}

JsonObject& JsonObject::add(const std::string& name, const JsonObject& value) {
    return member(name, value.text());
}

JsonObject& JsonObject::add(const std::string& name, const std::vector<std::string>& values) {
    std::string array = "[";
    for (const std::string& value : values) {
        if (array.size() > 1) {
            array += ",";
        }
        array += jsonString(value);
    }
    array += "]";
    return member(name, array);
}

JsonObject& JsonObject::addNull(const std::string& name) {
    return member(name, "null");
}

}  // namespace kelvra::platform
