// The reader's typing, anchors, merge keys and refusals, as the reference safe reader does them.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "platform/errors/errors.hpp"
#include "platform/yaml/yaml.hpp"
#include "tests/support/expect_throw.hpp"

namespace {

using platform::Value;
using platform::yaml::dump;
using platform::yaml::safe_load;

Value value_of(const std::string& scalar) { return *safe_load("k: " + scalar + "\n").find("k"); }

struct TypingCase {
  std::string scalar;
  Value expected;
};

TEST(YamlLoad, TypesPlainScalarsByYaml11Rules) {
  const TypingCase cases[] = {
      {"", Value()},
      {"~", Value()},
      {"Null", Value()},
      {"nULL", "nULL"},
      {"yes", true},
      {"No", false},
      {"ON", true},
      {"off", false},
      {"y", "y"},
      {"yES", "yES"},
      {"0", 0},
      {"-0", 0},
      {"+12", 12},
      {"012", 10},
      {"0o17", "0o17"},
      {"08", "08"},
      {"0x_1F", 31},
      {"0b1_0", 2},
      {"1_000", 1000},
      {"190:20:30", 685230},
      {"-1:30", -90},
      {"0:30", "0:30"},
      {"1:60", "1:60"},
      {"9223372036854775807", Value(std::int64_t{9223372036854775807})},
      {"-9223372036854775809", platform::BigInt{"-9223372036854775809"}},
      {"0xFFFFFFFFFFFFFFFFFFFF", platform::BigInt{"1208925819614629174706175"}},
      {"1.5", 1.5},
      {"1.", 1.0},
      {".5", 0.5},
      {"-.5", "-.5"},
      {"1_0.5", 10.5},
      {"1:30.5", 90.5},
      {"1e3", "1e3"},
      {"1.0e+3", 1000.0},
      {"1.0e3", "1.0e3"},
      {"-.Inf", -std::numeric_limits<double>::infinity()},
      {"<<x", "<<x"},
      {"2024-02-29", platform::Date{2024, 2, 29}},
      {"2024-1-1", "2024-1-1"},
      {"2001-12-14t21:59:43.10-05:00",
       platform::DateTime{{2001, 12, 14}, 21, 59, 43, 100000, -300}},
      {"2001-12-14 21:59:43.1234567 Z", platform::DateTime{{2001, 12, 14}, 21, 59, 43, 123456, 0}},
      {"2024-01-01 1:02:03", platform::DateTime{{2024, 1, 1}, 1, 2, 3}},
      {"'true'", "true"},
      {"\"1\"", "1"},
      {"! 12", 12},
      {"!!str 12", "12"},
      {"!!int '0x10'", 16},
      {"!!float 1e3", 1000.0},
      {"!!null x", Value()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.scalar);
    EXPECT_EQ(value_of(c.scalar), c.expected);
  }
  EXPECT_TRUE(std::isnan(value_of(".NaN").as_double()));
}

TEST(YamlLoad, KeepsTheFirstPositionAndLastValueOfARepeatedKey) {
  EXPECT_EQ(safe_load("a: 1\nb: 2\na: 3\n"), (Value(Value::Map{{"a", 3}, {"b", 2}})));
}

TEST(YamlLoad, WritesScalarKeysAsPythonText) {
  EXPECT_EQ(safe_load("2: i\ntrue: b\n~: n\n1.5: f\n1e+20: t\n2024-01-01: d\n0x10: h\n"),
            (Value(Value::Map{{"2", "i"},
                              {"True", "b"},
                              {"None", "n"},
                              {"1.5", "f"},
                              {"1e+20", "t"},
                              {"2024-01-01", "d"},
                              {"16", "h"}})));
  EXPECT_THROW_SUBSTR(safe_load("? [a]\n: b\n"), platform::YAMLError, "unhashable key");
}

TEST(YamlLoad, ExpandsAliasesAndMergeKeys) {
  EXPECT_EQ(safe_load("a: &v [1, 2]\nb: *v\n"),
            (Value(Value::Map{{"a", Value::List{1, 2}}, {"b", Value::List{1, 2}}})));
  // Merged keys come first; the map's own keys win; with a list, earlier maps win.
  EXPECT_EQ(safe_load("- &x {a: 1, b: 1}\n- &y {b: 2, c: 2}\n- {d: 0, <<: [*x, *y], a: 9}\n")
                .as_list()[2],
            (Value(Value::Map{{"b", 1}, {"c", 2}, {"a", 9}, {"d", 0}})));
  EXPECT_THROW_SUBSTR(safe_load("m:\n  <<: 1\n"), platform::YAMLError,
                      "expected a mapping or list of mappings for merging");
  EXPECT_THROW_SUBSTR(safe_load("a: <<\n"), platform::YAMLError,
                      "could not determine a constructor for the tag 'tag:yaml.org,2002:merge'");
}

struct ErrorCase {
  std::string text;
  std::string message_part;
};

TEST(YamlLoad, RefusesWhatTheReferenceRefuses) {
  const ErrorCase cases[] = {
      {"a\n---\nb\n",
       "expected a single document in the stream, but found another document at "
       "line 2, column 1"},
      {"a: !foo bar\n", "could not determine a constructor for the tag '!foo' at line 1, column 4"},
      {"a: !!binary aGk=\n", "tag:yaml.org,2002:binary"},
      {"a: !!map [1]\n", "expected a mapping node, but found sequence"},
      {"d: 2024-02-30\n",
       "invalid timestamp '2024-02-30': day is out of range for month at line 1"},
      {"d: 2024-01-01 10:00:00 +24:00\n", "offset must be strictly between"},
      {"a: !!int abc\n", "invalid int value 'abc'"},
      {"a: 0b_\n", "invalid int value '0b_'"},
      {"a: *nothing\n", "found undefined alias 'nothing'"},
      {"a: &d 1\nb: &d 2\n", "found duplicate anchor 'd' at line 2, column 4"},
      {"a: &r [*r]\n", "found recursive alias 'r'"},
      {"a: b: c\n", "mapping values are not allowed in this context at line 1, column 5"},
      {"a: [b\n", "did not find expected ',' or ']'"},
      {"a:\tb\n", "found character '\\t' that cannot start any token at line 1, column 3"},
      {"a: b\tc\n", "found character '\\t' that cannot start any token at line 1, column 5"},
      {"a: b\t\n", "at line 1, column 5"},
      {"- a\n-\tb\n", "at line 2, column 2"},
      {"a: |\t\n  x\n", "at line 1, column 5"},
      {"a: [b?c]\n", "found '?' inside a plain scalar in a flow collection at line 1, column 6"},
      {"a: |-#c\n  x\n",
       "expected chomping or indentation indicators, but found '#' at line 1, column 6"},
      // libyaml would skip this mark; the reference reads it as a character.
      {"a: 1\n\xEF\xBB\xBF"
       "b: 2\n",
       "found a byte order mark at the start of a line at line 2"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_THROW_SUBSTR(safe_load(c.text), platform::YAMLError, c.message_part);
  }
}

TEST(YamlLoad, AcceptsTabsWhereTheReferenceDoes) {
  EXPECT_EQ(safe_load("a: 'b\tc'  # x\ty\nb: \"\\t\"\nc: |\n  x\ty\n"),
            (Value(Value::Map{{"a", "b\tc"}, {"b", "\t"}, {"c", "x\ty\n"}})));
}

TEST(YamlLoad, ReadsNothingAsNull) {
  EXPECT_EQ(safe_load(""), Value());
  EXPECT_EQ(safe_load("# only a comment\n"), Value());
  EXPECT_EQ(safe_load("--- a\n...\n"), Value("a"));
  EXPECT_EQ(safe_load("\xEF\xBB\xBF--- a\n"), Value("a"));
}

TEST(YamlLoad, ReadsBackWhatItWrites) {
  const Value tree = Value::Map{
      {"", Value::List{"", " x ", "a\nb\n", "caf\xC3\xA9 \xF0\x9F\x98\x80", "2024-01-01", "yes"}},
      {std::string(130, 'k'), Value::Map{{"n", platform::BigInt{"123456789012345678901"}}}},
      {"d", platform::DateTime{{2024, 2, 29}, 10, 20, 30, 5, -90}},
      {"f", Value::List{1e20, -0.0, 0.1, std::numeric_limits<double>::infinity()}},
      {"long", std::string(200, 'x') + " " + std::string(30, 'y') + " \xC3\xA9 \\ \" end"}};
  EXPECT_EQ(safe_load(dump(tree)), tree);
}

}  // namespace
