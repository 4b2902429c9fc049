#pragma once

#include <cstdint>
#include <string>

namespace kelvra::cli {

// One JSON object on one line, written member by member. Strings are UTF-8 and escaped as JSON
// requires: quotes, backslashes and every control character.
class JsonObject {
public:
    JsonObject& add(const std::string& name, const std::string& value);
    JsonObject& add(const std::string& name, const char* value);
    JsonObject& add(const std::string& name, std::int64_t value);
    JsonObject& addNull(const std::string& name);
    std::string text() const { return "{" + members_ + "}"; }

private:
    void key(const std::string& name);
    std::string members_;
};

// `text` as a JSON string literal, quotes included.
std::string jsonString(const std::string& text);

}  // namespace kelvra::cli
