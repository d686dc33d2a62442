#include "platform/json/json_writer.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <nlohmann/json.hpp>

namespace platform::json {
namespace {

const Value kNested = Value::Map{
    {"name", "t"},
    {"list", Value::List{1, Value::Map{{"a", nullptr}}}},
    {"empty_list", Value::List{}},
    {"empty_map", Value::Map{}},
};

TEST(JsonWriter, CompactHasNoWhitespaceAndKeepsKeyOrder) {
  EXPECT_EQ(write(kNested), R"({"name":"t","list":[1,{"a":null}],"empty_list":[],"empty_map":{}})");
  EXPECT_EQ(write(Value::Map{{"b", 1}, {"a", 2}}), R"({"b":1,"a":2})");
}

TEST(JsonWriter, IndentedPutsEachMemberOnItsOwnLine) {
  EXPECT_EQ(write(kNested, 2),
            "{\n"
            "  \"name\": \"t\",\n"
            "  \"list\": [\n"
            "    1,\n"
            "    {\n"
            "      \"a\": null\n"
            "    }\n"
            "  ],\n"
            "  \"empty_list\": [],\n"
            "  \"empty_map\": {}\n"
            "}");
  EXPECT_EQ(write(Value::List{}, 2), "[]");
  EXPECT_EQ(write("x", 2), "\"x\"");
}

TEST(JsonWriter, EscapesOnlyQuoteBackslashAndControlCharacters) {
  EXPECT_EQ(write("a\"b\\c/d"), R"("a\"b\\c/d")");
  EXPECT_EQ(write("\n\r\t\b\f"), R"("\n\r\t\b\f")");
  EXPECT_EQ(write(std::string("\x01\x1f\x7f", 3)), "\"\\u0001\\u001f\x7f\"");
  EXPECT_EQ(write(std::string("a\0b", 3)), R"("a\u0000b")");
  EXPECT_EQ(write("caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"),
            "\"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80\"");
}

TEST(JsonWriter, BytesThatAreNotUtf8BecomeReplacementCharacters) {
  const std::string replacement = "\xEF\xBF\xBD";
  EXPECT_EQ(write("a\xFF"), "\"a" + replacement + "\"");
  EXPECT_EQ(write("\xC3"), "\"" + replacement + "\"");                    // cut short
  EXPECT_EQ(write("\xC0\xAF"), "\"" + replacement + replacement + "\"");  // overlong
  EXPECT_EQ(write("\xED\xA0\x80"),
            "\"" + replacement + replacement + replacement + "\"");  // surrogate
  EXPECT_EQ(write("\xE2\x82"
                  "A"),
            "\"" + replacement + "A\"");  // one for the cut sequence
  EXPECT_EQ(write("\xC3"
                  "A"),
            "\"" + replacement + "A\"");  // the A is no continuation
  EXPECT_TRUE(nlohmann::json::accept(write("\xF5\x80\x80\x80 x\xE2\x82")));
}

TEST(JsonWriter, IntegersKeepEveryDigit) {
  EXPECT_EQ(write(std::numeric_limits<std::int64_t>::min()), "-9223372036854775808");
  EXPECT_EQ(write(BigInt{"-123456789012345678901234567890"}), "-123456789012345678901234567890");
  EXPECT_EQ(write(true), "true");
}

TEST(JsonWriter, DoublesAreShortestRoundTripDecimals) {
  const struct {
    double number;
    const char* text;
  } cases[] = {
      {1.0, "1.0"},
      {0.1, "0.1"},
      {-0.0, "-0.0"},
      {0.0, "0.0"},
      {123.456, "123.456"},
      {1e15, "1000000000000000.0"},
      {1e16, "1e16"},
      {1.5e16, "1.5e16"},
      {0.0001, "0.0001"},
      {0.00001, "0.00001"},
      {1e-6, "1e-6"},
      {-1.5e-7, "-1.5e-7"},
      {1.7976931348623157e308, "1.7976931348623157e308"},
      {5e-324, "5e-324"},
      {2.5, "2.5"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(write(c.number), c.text);
    EXPECT_EQ(nlohmann::json::parse(write(c.number)).get<double>(), c.number);
  }
  EXPECT_EQ(write(Value::List{std::nan(""), std::numeric_limits<double>::infinity(),
                              -std::numeric_limits<double>::infinity()}),
            "[null,null,null]");
}

TEST(JsonWriter, DatesAreIsoTextWithZuluForZeroOffset) {
  EXPECT_EQ(write(Date{2024, 2, 9}), R"("2024-02-09")");
  EXPECT_EQ(write(DateTime{{2024, 2, 9}, 7, 5, 3}), R"("2024-02-09T07:05:03")");
  EXPECT_EQ(write(DateTime{{2024, 2, 9}, 7, 5, 3, 500000, 0}), R"("2024-02-09T07:05:03.500000Z")");
  EXPECT_EQ(write(DateTime{{2024, 2, 9}, 7, 5, 3, 0, 90}), R"("2024-02-09T07:05:03+01:30")");
}

}  // namespace
}  // namespace platform::json
