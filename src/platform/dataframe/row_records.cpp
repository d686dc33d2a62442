#include "platform/dataframe/row_records.hpp"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <set>
#include <string_view>

#include "platform/dataframe/internal/epoch_milliseconds.hpp"
#include "platform/dataframe/internal/json_float.hpp"
#include "platform/errors/errors.hpp"
#include "platform/json/ordered_json.hpp"

namespace platform::dataframe {
namespace {

using nlohmann::ordered_json;
using snowflake::QueryResult;

std::optional<std::uint64_t> as_unsigned(const BigInt& number) {
  std::uint64_t value = 0;
  const std::string& digits = number.digits;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
  return value;
}

// Which 64-bit ranges a column's integers fit; a floating-point column needs one for all.
struct IntegerRanges {
  bool all_signed = true;
  bool all_unsigned = true;
  void add(const Value& cell) {
    if (cell.is_int()) {
      all_unsigned = all_unsigned && cell.as_int() >= 0;
    } else if (cell.is_big_int()) {
      all_signed = false;
      all_unsigned = all_unsigned && as_unsigned(cell.as_big_int()).has_value();
    }
  }
  bool fit_one() const { return all_signed || all_unsigned; }
};

// A column becomes floating point when it holds a null or a double and its integers fit 64 bits;
// a column of bools, texts or dates with nulls stays as it is.
bool is_floating_column(const QueryResult& result, std::size_t column) {
  bool has_gap_or_double = false;
  bool has_integer = false;
  IntegerRanges ranges;
  for (const auto& row : result.rows) {
    const Value& cell = row[column];
    has_gap_or_double = has_gap_or_double || cell.is_null() || cell.is_double();
    if (cell.is_int() || cell.is_big_int()) {
      has_integer = true;
      ranges.add(cell);
    } else if (!cell.is_null() && !cell.is_double()) {
      return false;
    }
  }
  return has_integer && has_gap_or_double && ranges.fit_one();
}

ordered_json floating(double number) {
  if (!std::isfinite(number)) return nullptr;
  return internal::json_float(number);
}

ordered_json integer(const Value& cell, bool floating_column) {
  if (cell.is_int()) {
    if (floating_column) return floating(static_cast<double>(cell.as_int()));
    return cell.as_int();
  }
  const BigInt& number = cell.as_big_int();
  if (floating_column) return floating(std::strtod(number.digits.c_str(), nullptr));
  if (const auto fits = as_unsigned(number)) return *fits;
  return json::exact_number(number);
}

ordered_json cell_json(const Value& cell, bool floating_column) {
  if (cell.is_null()) return nullptr;
  if (cell.is_bool()) return cell.as_bool();
  if (cell.is_int() || cell.is_big_int()) return integer(cell, floating_column);
  if (cell.is_double()) return floating(cell.as_double());
  if (cell.is_string()) return cell.as_string();
  if (cell.is_date()) return internal::epoch_milliseconds(cell.as_date());
  if (cell.is_datetime()) return internal::epoch_milliseconds(cell.as_datetime());
  // The connector delivers no lists or maps; a result that holds one is broken.
  throw AssertionError("A query result cell holds a " + std::string(cell.type_name()));
}

void check_unique_names(const QueryResult& result) {
  std::set<std::string_view> names;
  for (const auto& column : result.columns) {
    if (!names.insert(column.name).second) {
      throw ValueError("DataFrame columns must be unique for orient='records'.");
    }
  }
}

}  // namespace

ordered_json to_row_records(const QueryResult& result) {
  check_unique_names(result);
  const std::size_t width = result.columns.size();
  for (const auto& row : result.rows) {
    check(row.size() == width, "A query result row does not match its columns");
  }
  std::vector<bool> floating_columns(width);
  for (std::size_t column = 0; column < width; ++column) {
    floating_columns[column] = is_floating_column(result, column);
  }
  ordered_json records = ordered_json::array();
  for (const auto& row : result.rows) {
    ordered_json record = ordered_json::object();
    for (std::size_t column = 0; column < width; ++column) {
      record[result.columns[column].name] = cell_json(row[column], floating_columns[column]);
    }
    records.push_back(std::move(record));
  }
  return records;
}

}  // namespace platform::dataframe
