#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "platform/json/JsonWriter.h"

namespace kelvra::platform {
namespace {

TEST(CliJson, EveryStringReadsBackAsWritten) {
    // File names may hold quotes, backslashes and, from a damaged entry, control bytes.
    const std::string name = std::string("5 Марта \"18г\"\\ \t\n\r\x01\x1f\x7f end");
    const std::string text =
        JsonObject().add("file", name).add("index", 7).addNull("none").add("e", "").text();
    const nlohmann::json read = nlohmann::json::parse(text);
    EXPECT_EQ(read["file"], name);
    EXPECT_EQ(read["index"], 7);
    EXPECT_TRUE(read["none"].is_null());
    EXPECT_EQ(read["e"], "");
    EXPECT_EQ(text.find('\n'), std::string::npos) << "one object, one line";
}

}  // namespace
}  // namespace kelvra::platform
