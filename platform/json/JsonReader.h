#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelvra::platform {

// One JSON object read from one line of text. Each accessor answers only for a member of that
// name and kind; anything else, or a member that is not there, is nothing.
class JsonFields {
public:
    // Present and a string (UTF-8).
    std::optional<std::string> string(const std::string& name) const;
    // Present and an integer that fits: 3.0, 1e3 or 2^63 are not.
    std::optional<std::int64_t> integer(const std::string& name) const;
    std::optional<bool> boolean(const std::string& name) const;
    // Present and a number, integer or not.
    std::optional<double> number(const std::string& name) const;
    // Present and an object.
    std::optional<JsonFields> object(const std::string& name) const;
    // Present and an array of objects only.
    std::optional<std::vector<JsonFields>> objects(const std::string& name) const;
    // Present and null.
    bool isNull(const std::string& name) const;
    // Present with any value, null included.
    bool has(const std::string& name) const;

private:
    class Value;
    explicit JsonFields(std::shared_ptr<const Value> value);
    friend std::optional<JsonFields> parseJsonObject(const std::string& line);

    std::shared_ptr<const Value> value_;
};

// The deepest objects and arrays may nest in what parseJsonObject reads: a line of the
// download manifest nests three deep.
inline constexpr int kMaxJsonDepth = 32;

// Whether objects and arrays in `text` nest more than `limit` deep, told by counting brackets
// outside strings, without reading the text as JSON.
bool nestsDeeperThan(std::string_view text, int limit);

// Nothing when `line` is not one JSON object (malformed, an array, a number...) or nests deeper
// than kMaxJsonDepth: nothing that deep is ever built. Never throws.
std::optional<JsonFields> parseJsonObject(const std::string& line);

}  // namespace kelvra::platform
