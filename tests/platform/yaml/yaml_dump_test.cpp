// The writer's choices that differ from libyaml's emitter or are easy to get wrong: quoting,
// escapes, folding at width 80, simple-key limits, number texts. Expected texts are the
// reference library's output.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "platform/errors/errors.hpp"
#include "platform/yaml/yaml.hpp"
#include "tests/support/expect_throw.hpp"
#include "tests/support/worked_example_yaml.hpp"

namespace {

using platform::Value;
using platform::yaml::dump;

Value map_of(std::string key, Value value) {
  return Value(Value::Map{{std::move(key), std::move(value)}});
}

std::string repeat(std::string_view part, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += part;
  return out;
}

struct TextCase {
  std::string text;
  std::string expected;
};

TEST(YamlDump, ChoosesPlainSingleOrDoubleQuotesForText) {
  const TextCase cases[] = {
      {"", "a: ''\n"},
      {"true", "a: 'true'\n"},
      {"Yes", "a: 'Yes'\n"},
      {"yES", "a: yES\n"},
      {"~", "a: '~'\n"},
      {"2024-1-1", "a: 2024-1-1\n"},
      {"08", "a: 08\n"},
      {"1e3", "a: 1e3\n"},
      {"<<", "a: '<<'\n"},
      {"-", "a: '-'\n"},
      {"-a", "a: -a\n"},
      {" lead", "a: ' lead'\n"},
      {"a: b", "a: 'a: b'\n"},
      {"a #b", "a: 'a #b'\n"},
      {"line\nbreak", "a: 'line\n\n  break'\n"},
      {"a\n\n b", "a: \"a\\n\\n b\"\n"},
      {"tab\t", "a: \"tab\\t\"\n"},
      {"caf\xC3\xA9", "a: \"caf\\xE9\"\n"},
      {"\xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80", "a: \"\\u65E5\\u672C \\U0001F600\"\n"},
      {std::string("\xC2\xA0\xE2\x80\xA8\xC2\x85\xEF\xBB\xBF\0", 11),
       "a: \"\\_\\L\\N\\uFEFF\\0\"\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(dump(map_of("a", c.text)), c.expected);
  }
}

TEST(YamlDump, WritesNumbersDatesAndEmptyCollectionsAsTheReference) {
  platform::DateTime with_offset{{2024, 2, 29}, 10, 20, 30, 5, 60};
  platform::DateTime naive{{2024, 2, 29}, 10, 20, 30};
  const Value tree = map_of(
      "x", Value::List{1e20, 1e16, 1e15, 0.0001, 1e-05, std::numeric_limits<double>::infinity(),
                       -std::numeric_limits<double>::infinity(),
                       std::numeric_limits<double>::quiet_NaN(), -0.0,
                       platform::BigInt{"1180591620717411303424"}, platform::Date{2024, 2, 29},
                       with_offset, naive, Value::List{}, Value::Map{}});
  EXPECT_EQ(dump(tree),
            "x:\n- 1.0e+20\n- 1.0e+16\n- 1000000000000000.0\n- 0.0001\n- 1.0e-05\n- .inf\n"
            "- -.inf\n- .nan\n- -0.0\n- 1180591620717411303424\n- 2024-02-29\n"
            "- 2024-02-29 10:20:30.000005+01:00\n- 2024-02-29 10:20:30\n- []\n- {}\n");
}

TEST(YamlDump, NestsListsAndMapsWithoutIndentingListsUnderKeys) {
  const Value tree = Value::Map{
      {"e", Value::List{}},
      {"n", Value::List{Value::List{}, Value::List{"a", Value::List{"b"}}, map_of("k", "v")}}};
  EXPECT_EQ(dump(tree), "e: []\nn:\n- []\n- - a\n  - - b\n- k: v\n");
}

TEST(YamlDump, WritesLongAndAwkwardKeysAsComplexKeys) {
  const TextCase cases[] = {
      {"", "? ''\n: 1\n"},
      {std::string(122, 'k'), std::string(122, 'k') + ": 1\n"},
      {std::string(123, 'k'), "? " + std::string(123, 'k') + "\n: 1\n"},
      {"a\rb", "\"a\\rb\": 1\n"},
      {"multi\nline", "? 'multi\n\n  line'\n: 1\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(dump(map_of(c.text, 1)), c.expected);
  }
}

TEST(YamlDump, FoldsLongTextPastColumn80) {
  const TextCase cases[] = {
      // Plain text breaks at the first space past the width.
      {"The number of distinct orders placed by the customer during the selected reporting "
       "period, excluding cancellations",
       "d: The number of distinct orders placed by the customer during the selected reporting\n"
       "  period, excluding cancellations\n"},
      {std::string(100, 'x'), "d: " + std::string(100, 'x') + "\n"},
      // Double quotes fold with a trailing backslash and escape the space after the break.
      {"Descripci\xC3\xB3n del campo: el n\xC3\xBAmero total de pedidos \xC3\xBAnicos realizados "
       "por el cliente durante el per\xC3\xADodo seleccionado",
       "d: \"Descripci\\xF3n del campo: el n\\xFAmero total de pedidos \\xFAnicos realizados "
       "por\\\n  \\ el cliente durante el per\\xEDodo seleccionado\"\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(dump(map_of("d", c.text)), c.expected);
  }
  EXPECT_EQ(dump(map_of("d", repeat("\xC3\xBC", 30) + " " + repeat("word ", 20))),
            "d: \"" + repeat("\\xFC", 20) + "\\\n  " + repeat("\\xFC", 10) +
                " word word word word word word word word\\\n  \\ " + repeat("word ", 12) + "\"\n");
}

TEST(YamlDump, MarksARootPlainScalarOpenEnded) {
  EXPECT_EQ(dump("abc"), "abc\n...\n");
  EXPECT_EQ(dump(Value()), "null\n...\n");
  EXPECT_EQ(dump("true"), "'true'\n");
  EXPECT_EQ(dump(Value::List{}), "[]\n");
}

TEST(YamlDump, RefusesTextThatIsNotUtf8) {
  EXPECT_THROW_MSG(dump(map_of("a", "bad \xC3")), platform::YAMLError,
                   "cannot write a text that is not valid UTF-8");
}

TEST(YamlDump, WritesTheModelExampleLineForLine) {
  const Value tree = Value::Map{
      {"name", "semantic_model"},
      {"tables",
       Value::List{
           Value::Map{{"name", "queries"},
                      {"base_table", Value::Map{{"database", "snowflake"},
                                                {"schema", "metadata"},
                                                {"table", "queries"}}},
                      {"primary_key", map_of("columns", Value::List{"query_urn"})},
                      {"filters", Value::List{Value::Map{{"name", "system_queries"},
                                                         {"expr", "source = 'SYSTEM'"},
                                                         {"synonyms", Value::List{"system"}}}}}},
           Value::Map{{"name", "datasets"},
                      {"base_table", Value::Map{{"database", "snowflake"},
                                                {"schema", "metadata"},
                                                {"table", "datasets"}}},
                      {"primary_key", map_of("columns", Value::List{"urn"})}}}},
      {"relationships", Value::List{Value::Map{{"name", "queries_datasets"},
                                               {"left_table", "queries"},
                                               {"right_table", "datasets"},
                                               {"relationship_columns",
                                                Value::List{Value::Map{{"left_column", "dataset"},
                                                                       {"right_column", "urn"}}}},
                                               {"join_type", "left_outer"},
                                               {"relationship_type", "many_to_one"}}}}};
  EXPECT_EQ(dump(tree), osa_test::kWorkedExampleYaml);
}

}  // namespace
