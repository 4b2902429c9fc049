#pragma once

#include <concepts>
#include <cstdint>
#include <string>
#include <vector>

namespace kelvra::platform {

// One JSON object on one line, written member by member. Strings are UTF-8 and escaped as JSON
// requires: quotes, backslashes and every control character.
class JsonObject {
public:
    JsonObject& add(const std::string& name, const std::string& value);
    JsonObject& add(const std::string& name, const char* value);
    JsonObject& add(const std::string& name, std::int64_t value);
    // Only a bool itself: a pointer or a number given here would otherwise turn into true or
    // false without a word.
    template <std::same_as<bool> Bool>
    JsonObject& add(const std::string& name, Bool value) {
        return member(name, value ? "true" : "false");
    }
    // Rounded to `decimals` places and written with exactly that many, whatever the locale;
    // null when the value is not finite, which JSON cannot hold.
    JsonObject& addFixed(const std::string& name, double value, int decimals);
    JsonObject& add(const std::string& name, const JsonObject& value);
    // An array of strings.
    JsonObject& add(const std::string& name, const std::vector<std::string>& values);
    JsonObject& add(const std::string& name, const std::vector<JsonObject>& array);
    JsonObject& addNull(const std::string& name);
    std::string text() const { return "{" + members_ + "}"; }

private:
    // `value` is JSON text already.
    JsonObject& member(const std::string& name, const std::string& value);
    std::string members_;
};

// `text` as a JSON string literal, quotes included.
std::string jsonString(const std::string& text);

}  // namespace kelvra::platform
