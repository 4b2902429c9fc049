#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <ostream>
#include <string>

#include "platform/json/JsonReader.h"
#include "platform/json/JsonWriter.h"

namespace kelvra::platform {
namespace {

template <typename T>
constexpr bool kAddable = requires(JsonObject object, T value) {
    object.add("name", value);
};
static_assert(kAddable<bool> && kAddable<int> && kAddable<const char*>);
static_assert(!kAddable<const int*> && !kAddable<const JsonObject*>,
              "a pointer must not quietly become true");

TEST(JsonReader, ReadsBackWhatTheWriterWrites) {
    const std::string name = "5 Марта \"18г\"\\ \t\n\r\x01\x1f\x7f end";
    constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
    const std::string line = JsonObject()
                                 .add("file", name)
                                 .add("negative", -7)
                                 .add("big", std::int64_t{1} << 40)
                                 .add("min", kMin)
                                 .add("done", true)
                                 .add("failed", false)
                                 .addNull("none")
                                 .add("inner", JsonObject().add("name", name).add("ok", true))
                                 .text();
    const auto fields = parseJsonObject(line);
    ASSERT_TRUE(fields) << line;
    EXPECT_EQ(fields->string("file"), name);
    EXPECT_EQ(fields->integer("negative"), -7);
    EXPECT_EQ(fields->integer("big"), std::int64_t{1} << 40);
    EXPECT_EQ(fields->integer("min"), kMin);
    EXPECT_EQ(fields->boolean("done"), true);
    EXPECT_EQ(fields->boolean("failed"), false);
    EXPECT_TRUE(fields->has("none"));
    EXPECT_FALSE(fields->has("absent"));
    const auto inner = fields->object("inner");
    ASSERT_TRUE(inner);
    EXPECT_EQ(inner->string("name"), name);
    EXPECT_EQ(inner->boolean("ok"), true);
    // Each accessor answers for its own kind only.
    EXPECT_EQ(fields->string("none"), std::nullopt);
    EXPECT_EQ(fields->integer("done"), std::nullopt);
    EXPECT_EQ(fields->boolean("negative"), std::nullopt);
    EXPECT_EQ(fields->string("big"), std::nullopt);
    EXPECT_FALSE(fields->object("file"));
}

TEST(JsonReader, AnIntegerMustFit) {
    const auto fields =
        parseJsonObject(R"({"max":9223372036854775807,"over":9223372036854775808,"real":3.0})");
    ASSERT_TRUE(fields);
    EXPECT_EQ(fields->integer("max"), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(fields->integer("over"), std::nullopt);
    EXPECT_EQ(fields->integer("real"), std::nullopt);
}

// `depth` objects and arrays inside one another, innermost empty: {"a":[[...]]}.
std::string nested(int depth) {
    return "{\"a\":" + std::string(static_cast<std::size_t>(depth - 1), '[') +
           std::string(static_cast<std::size_t>(depth - 1), ']') + "}";
}

TEST(JsonReader, NestsAsDeepAsTheBoundAndCountsNoBracketInAString) {
    EXPECT_TRUE(parseJsonObject(nested(kMaxJsonDepth)));
    EXPECT_EQ(parseJsonObject(nested(kMaxJsonDepth + 1)), std::nullopt);
    // An escaped backslash, then an escaped quote: the string goes on, and so do its brackets.
    const std::string brackets = std::string(100, '[') + "{";
    const auto fields = parseJsonObject(R"({"a":"\\\")" + brackets + R"("})");
    ASSERT_TRUE(fields);
    EXPECT_EQ(fields->string("a"), R"(\")" + brackets);
}

struct NotAnObject {
    const char* name;
    std::string line;
};

void PrintTo(const NotAnObject& notAnObject, std::ostream* out) {
    *out << notAnObject.name;
}

class JsonReaderRefuses : public testing::TestWithParam<NotAnObject> {};

TEST_P(JsonReaderRefuses, WithoutThrowing) {
    EXPECT_NO_THROW(EXPECT_EQ(parseJsonObject(GetParam().line), std::nullopt));
}

INSTANTIATE_TEST_SUITE_P(
    Lines, JsonReaderRefuses,
    testing::Values(NotAnObject{"Empty", ""}, NotAnObject{"Truncated", R"({"a":)"},
                    NotAnObject{"TwoObjects", "{}{}"}, NotAnObject{"SingleQuotes", "{'a':1}"},
                    NotAnObject{"TrailingComma", R"({"a":1,})"},
                    NotAnObject{"InvalidUtf8", "{\"a\":\"\xff\"}"}, NotAnObject{"Array", "[1,2]"},
                    NotAnObject{"Number", "42"}, NotAnObject{"String", R"("text")"},
                    NotAnObject{"Null", "null"},
                    NotAnObject{"NestedOneHundredThousandDeep", nested(100000)}),
    [](const testing::TestParamInfo<NotAnObject>& line) { return line.param.name; });

}  // namespace
}  // namespace kelvra::platform
