#include "cli/JsonWriter.h"

#include <cstdio>

namespace kelvra::cli {

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

void JsonObject::key(const std::string& name) {
    if (!members_.empty()) {
        members_ += ",";
    }
    members_ += jsonString(name) + ":";
}

JsonObject& JsonObject::add(const std::string& name, const std::string& value) {
    key(name);
    members_ += jsonString(value);
    return *this;
}

JsonObject& JsonObject::add(const std::string& name, const char* value) {
    return add(name, std::string(value));
}

JsonObject& JsonObject::add(const std::string& name, std::int64_t value) {
    key(name);
    members_ += std::to_string(value);
    return *this;
}

JsonObject& JsonObject::addNull(const std::string& name) {
    key(name);
    members_ += "null";
    return *this;
}

}  // namespace kelvra::cli
