#include "platform/json/JsonReader.h"

#include <limits>
#include <nlohmann/json.hpp>
#include <utility>

namespace kelvra::platform {

// Always an object: a reader hands out no other kind. Shared by the copies of one JsonFields,
// and never changed once read.
class JsonFields::Value {
public:
    explicit Value(nlohmann::json parsed) : json(std::move(parsed)) {}
    // The member of that name, or none.
    const nlohmann::json* find(const std::string& name) const {
        const auto member = json.find(name);
        return member == json.end() ? nullptr : &*member;
    }
    nlohmann::json json;
};

JsonFields::JsonFields(std::shared_ptr<const Value> value) : value_(std::move(value)) {}

std::optional<std::string> JsonFields::string(const std::string& name) const {
    const nlohmann::json* member = value_->find(name);
    if (member == nullptr || !member->is_string()) {
        return std::nullopt;
    }
    return member->get<std::string>();
}

std::optional<std::int64_t> JsonFields::integer(const std::string& name) const {
    const nlohmann::json* member = value_->find(name);
    if (member == nullptr || !member->is_number_integer()) {
        return std::nullopt;
    }
    // Non-negative numbers are read as unsigned, up to 2^64 - 1.
    if (member->is_number_unsigned() &&
        member->get<std::uint64_t>() > std::uint64_t{std::numeric_limits<std::int64_t>::max()}) {
        return std::nullopt;
    }
    return member->get<std::int64_t>();
}

std::optional<bool> JsonFields::boolean(const std::string& name) const {
    const nlohmann::json* member = value_->find(name);
    if (member == nullptr || !member->is_boolean()) {
        return std::nullopt;
    }
    return member->get<bool>();
}

std::optional<double> JsonFields::number(const std::string& name) const {
    const nlohmann::json* member = value_->find(name);
    if (member == nullptr || !member->is_number()) {
        return std::nullopt;
    }
    return member->get<double>();
}

std::optional<std::vector<JsonFields>> JsonFields::objects(const std::string& name) const {
    const nlohmann::json* member = value_->find(name);
    if (member == nullptr || !member->is_array()) {
        return std::nullopt;
    }
    std::vector<JsonFields> elements;
    for (const nlohmann::json& element : *member) {
        if (!element.is_object()) {
            return std::nullopt;
        }
        elements.push_back(JsonFields(std::make_shared<const Value>(element)));
    }
    return elements;
}

bool JsonFields::isNull(const std::string& name) const {
    const nlohmann::json* member = value_->find(name);
    return member != nullptr && member->is_null();
}

std::optional<JsonFields> JsonFields::object(const std::string& name) const {
    const nlohmann::json* member = value_->find(name);
    if (member == nullptr || !member->is_object()) {
        return std::nullopt;
    }
    return JsonFields(std::make_shared<const Value>(*member));
}

bool JsonFields::has(const std::string& name) const {
    return value_->find(name) != nullptr;
}

bool nestsDeeperThan(std::string_view text, int limit) {
    int depth = 0;
    bool inString = false;
    bool escaped = false;
    for (const char c : text) {
        if (inString) {
            if (escaped) {
                escaped = false;
            } else if (c == '\\') {
                escaped = true;
            } else if (c == '"') {
                inString = false;
            }
        } else if (c == '"') {
            inString = true;
        } else if (c == '{' || c == '[') {
            if (++depth > limit) {
                return true;
            }
        } else if ((c == '}' || c == ']') && depth > 0) {
            --depth;
        }
    }
    return false;
}

std::optional<JsonFields> parseJsonObject(const std::string& line) {
    // Reading, copying and destroying a value each recurse once per level: a deep line would
    // end the program on its stack.
    if (nestsDeeperThan(line, kMaxJsonDepth)) {
        return std::nullopt;
    }
    // Without exceptions a malformed text comes back as a discarded value, which is no object.
    nlohmann::json parsed = nlohmann::json::parse(line, nullptr, false);
    if (!parsed.is_object()) {
        return std::nullopt;
    }
    return JsonFields(std::make_shared<const JsonFields::Value>(std::move(parsed)));
}

}  // namespace kelvra::platform
