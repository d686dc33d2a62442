// Row records compared with the reference: each typed table goes to pandas (read_sql through a
// DB-API connection that delivers the connector's Python values, then to_json in record
// orientation and json.loads) and through to_row_records; both sides must agree exactly, number
// kinds and signs of zero included.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <sstream>

#include "platform/dataframe/row_records.hpp"
#include "platform/errors/errors.hpp"
#include "platform/json/ordered_json.hpp"
#include "tests/platform/dataframe/table_builder.hpp"
#include "tests/support/paths.hpp"

namespace platform::dataframe {
namespace {

using nlohmann::ordered_json;
using testing::make_result;
using testing::TypedColumn;

std::string number_text(double number) {
  if (std::isnan(number)) return "nan";
  if (std::isinf(number)) return number > 0 ? "inf" : "-inf";
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.17g", number);
  return buffer;
}

// A cell as the reference script reads it: null, a boolean, or a text.
ordered_json cell_text(const Value& cell) {
  if (cell.is_null()) return nullptr;
  if (cell.is_bool()) return cell.as_bool();
  if (cell.is_int()) return std::to_string(cell.as_int());
  if (cell.is_big_int()) return cell.as_big_int().digits;
  if (cell.is_double()) return number_text(cell.as_double());
  if (cell.is_date()) return cell.as_date().iso();
  if (cell.is_datetime()) return cell.as_datetime().iso();
  return cell.as_string();
}

ordered_json table_json(const snowflake::QueryResult& result) {
  ordered_json table{{"columns", ordered_json::array()}, {"rows", ordered_json::array()}};
  for (const auto& column : result.columns) {
    table["columns"].push_back(
        {{"name", column.name}, {"type", column.type}, {"scale", column.scale}});
  }
  for (const auto& row : result.rows) {
    ordered_json cells = ordered_json::array();
    for (const auto& cell : row) cells.push_back(cell_text(cell));
    table["rows"].push_back(std::move(cells));
  }
  return table;
}

// The reference's answer for each table, in order, as compact JSON text.
std::vector<std::string> reference_lines(const std::vector<snowflake::QueryResult>& tables) {
  ordered_json input = ordered_json::array();
  for (const auto& table : tables) input.push_back(table_json(table));
  const auto script = osa_test::source_dir() / "tests/platform/dataframe/pandas_records.py";
  std::istringstream text(
      osa_test::run_command("/usr/bin/python3 '" + script.string() + "'", input.dump()));
  std::vector<std::string> lines;
  for (std::string line; std::getline(text, line);) lines.push_back(line);
  return lines;
}

std::vector<ordered_json> reference_records(const std::vector<snowflake::QueryResult>& tables) {
  std::vector<ordered_json> answers;
  for (const std::string& line : reference_lines(tables))
    answers.push_back(ordered_json::parse(line));
  return answers;
}

ordered_json ours(const snowflake::QueryResult& table) {
  try {
    return to_row_records(table);
  } catch (const ValueError& error) {
    return {{"error", std::string("ValueError: ") + error.what()}};
  }
}

// The kinds compared: a parsed non-negative integer is unsigned, ours may be signed.
ordered_json::value_t kind(const ordered_json& value) {
  return value.is_number_integer() ? ordered_json::value_t::number_integer : value.type();
}

// Equal values of the same JSON kind; 3 and 3.0 differ, and so do 0.0 and -0.0.
void expect_same(const ordered_json& expected, const ordered_json& actual, const std::string& at) {
  ASSERT_EQ(kind(expected), kind(actual)) << at << ": " << expected << " vs " << actual;
  if (expected.is_structured()) {
    ASSERT_EQ(expected.size(), actual.size()) << at;
    if (expected.is_array()) {
      for (std::size_t i = 0; i < expected.size(); ++i) {
        expect_same(expected[i], actual[i], at + "[" + std::to_string(i) + "]");
      }
    } else {
      auto actual_item = actual.begin();
      for (auto item = expected.begin(); item != expected.end(); ++item, ++actual_item) {
        ASSERT_EQ(item.key(), actual_item.key()) << at;
        expect_same(item.value(), actual_item.value(), at + "." + item.key());
      }
    }
  } else if (expected.is_number_float()) {
    const double want = expected.get<double>();
    const double got = actual.get<double>();
    EXPECT_TRUE(want == got && std::signbit(want) == std::signbit(got))
        << at << ": " << number_text(want) << " vs " << number_text(got);
  } else {
    EXPECT_EQ(expected, actual) << at;
  }
}

void expect_reference_agrees(const std::vector<snowflake::QueryResult>& tables) {
  const auto answers = reference_records(tables);
  ASSERT_EQ(answers.size(), tables.size());
  for (std::size_t i = 0; i < tables.size(); ++i) {
    expect_same(answers[i], ours(tables[i]), "table " + std::to_string(i));
  }
}

DateTime at(Date date, int hour, int minute, int second, int microsecond,
            std::optional<int> offset = std::nullopt) {
  return {date, hour, minute, second, microsecond, offset};
}

TEST(RowRecordsAgainstReference, EveryColumnKindWithNulls) {
  const Value null;
  expect_reference_agrees({make_result({
      {"ID", "fixed", 0, {1, 2, 3}},
      {"PRICE", "fixed", 2, {9.5, null, 123456.12}},
      {"RATIO", "real", 0, {0.1 + 0.2, -2.5, null}},
      {"NAME", "text", 0, {"plain", "héllo ✓ 😀 \"q\" \\ \n\t", null}},
      {"ACTIVE", "boolean", 0, {true, false, null}},
      {"ON_DAY", "date", 0, {Date{2024, 2, 29}, Date{1969, 12, 31}, null}},
      {"AT",
       "timestamp_ntz",
       0,
       {at({2024, 2, 29}, 10, 20, 30, 123456), null, at({1950, 6, 1}, 0, 0, 0, 1)}},
      {"AT_LTZ",
       "timestamp_ltz",
       0,
       {at({2024, 1, 1}, 0, 0, 0, 0, 0), at({1969, 12, 31}, 23, 0, 0, 0, 0), null}},
      {"AT_TZ",
       "timestamp_tz",
       0,
       {at({2024, 1, 1}, 0, 0, 0, 0, 60), null, at({2024, 1, 1}, 0, 0, 0, 0, 60)}},
      {"CLOCK", "time", 0, {"12:30:00", "01:02:03.000004", null}},
      {"DATA", "variant", 0, {"{\"a\": [1, 2]}", null, "[]"}},
  })});
}

TEST(RowRecordsAgainstReference, IntegerColumnsBecomeFloatingOnlyWhenANullFitsThemIn) {
  const Value null;
  const std::int64_t big = std::numeric_limits<std::int64_t>::max();
  expect_reference_agrees({make_result({
      {"PLAIN", "fixed", 0, {-5, big, 0}},
      {"GAP", "fixed", 0, {1, null, -7}},
      {"BIG_GAP", "fixed", 0, {big, null, std::numeric_limits<std::int64_t>::min()}},
      {"UNSIGNED", "fixed", 0, {BigInt{"9223372036854775808"}, 1, 0}},
      {"UNSIGNED_GAP", "fixed", 0, {BigInt{"18446744073709551615"}, null, 1}},
      {"BOTH_RANGES_GAP", "fixed", 0, {-1, BigInt{"9223372036854775808"}, null}},
      {"ALL_NULL", "fixed", 0, {null, null, null}},
      {"NULL_TEXT", "text", 0, {null, null, null}},
  })});
}

// Compared as text: a parsed value could not hold these numbers.
TEST(RowRecordsAgainstReference, IntegersBeyondSixtyFourBitsAreExactNumbers) {
  const Value null;
  const auto table = make_result({
      {"N", "fixed", 0, {BigInt{"123456789012345678901234567890"}, null, 7}},
      {"NEG", "fixed", 0, {BigInt{"-9223372036854775809"}, 1, null}},
      {"WIDE",
       "fixed",
       0,
       {BigInt{"99999999999999999999999999999999999999"}, BigInt{"18446744073709551616"}, -1}},
  });
  const auto lines = reference_lines({table});
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(json::dump_exact(to_row_records(table)), lines[0]);
}

TEST(RowRecordsAgainstReference, EmptyResultsAndDuplicateNames) {
  expect_reference_agrees({
      make_result({{"A", "fixed", 0, {}}, {"B", "text", 0, {}}}),
      make_result({{"A", "fixed", 0, {1}}, {"A", "text", 0, {"x"}}}),
      make_result({{"A", "fixed", 0, {}}, {"A", "text", 0, {}}}),
  });
}

TEST(RowRecordsAgainstReference, TimestampsBeforeNineteenSeventyWithOffsetsAndPartMilliseconds) {
  const Value null;
  const std::vector<Value> naive = {
      at({1969, 12, 31}, 23, 59, 59, 999500), at({1969, 12, 31}, 23, 59, 59, 998999),
      at({1900, 1, 1}, 0, 0, 0, 0),           at({1677, 9, 22}, 0, 0, 0, 0),
      at({2262, 4, 11}, 0, 0, 0, 0),          at({2024, 1, 1}, 0, 0, 0, 1500)};
  const std::vector<Value> mixed_offsets = {at({2024, 1, 1}, 0, 0, 0, 0, 60),
                                            at({2024, 1, 1}, 0, 0, 0, 0, -330),
                                            at({1969, 12, 31}, 23, 59, 59, 999500, 60),
                                            at({1960, 5, 5}, 5, 5, 5, 5, 840),
                                            null,
                                            at({2000, 2, 29}, 12, 0, 0, 0, -720)};
  std::vector<Value> one_offset;
  for (const auto& cell : naive) {
    DateTime moment = cell.as_datetime();
    moment.utc_offset_minutes = -300;
    one_offset.push_back(moment);
  }
  expect_reference_agrees({make_result({{"NAIVE", "timestamp_ntz", 0, naive},
                                        {"MIXED", "timestamp_tz", 0, mixed_offsets},
                                        {"ONE_OFFSET", "timestamp_tz", 0, one_offset}})});
}

// Fixed and exponent forms, their borders, ties of the rounding digit, and random values over
// the whole exponent range.
TEST(RowRecordsAgainstReference, FloatingPointValues) {
  std::vector<Value> cells = {1e-11,
                              -1e-11,
                              123456.123456789012,
                              -123456.123456789012,
                              0.0,
                              -0.0,
                              1e16,
                              9.999999999999998e15,
                              1.0000000000000002e16,
                              1e-15,
                              9.99999999999e-16,
                              5e-11,
                              1.5e-10,
                              2.5e-10,
                              0.99999999999,
                              123456789.98765432,
                              -1.797693134e308,
                              4.9e-324,
                              std::nan(""),
                              HUGE_VAL,
                              -HUGE_VAL,
                              1e300,
                              -42.0};
  std::mt19937_64 random(20261209);
  std::uniform_int_distribution<int> exponent(-330, 307);  // finite, as the warehouse sends
  std::uniform_real_distribution<double> mantissa(-10.0, 10.0);
  std::uniform_int_distribution<int> tenths(-100000, 100000);
  for (int i = 0; i < 1500; ++i) {
    cells.push_back(mantissa(random) * std::pow(10.0, exponent(random)));
    cells.push_back(mantissa(random) * std::pow(10.0, exponent(random) % 18));
    cells.push_back(tenths(random) * 0.5e-10);
  }
  // A decimal column holds what fits a NUMBER(38, 10); the gaps make it no different.
  std::vector<Value> decimals;
  for (const auto& cell : cells) {
    const double number = cell.as_double();
    if (std::fabs(number) < 1e28) {
      decimals.emplace_back(number);
    } else {
      decimals.emplace_back(nullptr);
    }
  }
  expect_reference_agrees(
      {make_result({{"REAL", "real", 0, cells}, {"DECIMAL", "fixed", 10, decimals}})});
}

}  // namespace
}  // namespace platform::dataframe
