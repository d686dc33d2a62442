#include "platform/snowflake/internal/cell_conversion.hpp"

#include <cctype>
#include <charconv>
#include <chrono>
#include <cstdint>
#include <optional>

#include <fmt/format.h>

#include "platform/snowflake/snowflake_error.hpp"
#include "platform/text/ascii_case.hpp"

namespace platform::snowflake::internal {
namespace {

using Int128 = __int128;

constexpr Int128 kNanosPerSecond = 1'000'000'000;

[[noreturn]] void fail(const Column& column, std::string_view text) {
  throw SnowflakeError::malformed_answer(fmt::format(
      "Cannot read the value '{}' of column {} as type {}", text, column.name, column.type));
}

Int128 power_of_ten(int exponent) {
  Int128 result = 1;
  for (int i = 0; i < exponent; ++i) result *= 10;
  return result;
}

Int128 floor_div(Int128 a, Int128 b) {
  Int128 quotient = a / b;
  if ((a % b != 0) && ((a < 0) != (b < 0))) --quotient;
  return quotient;
}

Int128 floor_mod(Int128 a, Int128 b) { return a - floor_div(a, b) * b; }

// An exact decimal "-12.3400" as nanoseconds-style fixed point: the value times 10^9, with
// digits beyond the ninth cut off. Empty on text that is no decimal number.
std::optional<Int128> parse_nanos(std::string_view text) {
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  Int128 whole = 0;
  Int128 fraction = 0;
  int fraction_digits = 0;
  bool seen_point = false;
  bool seen_digit = false;
  for (const char c : text) {
    if (c == '.' && !seen_point) {
      seen_point = true;
    } else if (std::isdigit(static_cast<unsigned char>(c))) {
      seen_digit = true;
      if (!seen_point) {
        if (whole > Int128(1) << 80) return std::nullopt;
        whole = whole * 10 + (c - '0');
      } else if (fraction_digits < 9) {
        fraction = fraction * 10 + (c - '0');
        ++fraction_digits;
      }
    } else {
      return std::nullopt;
    }
  }
  if (!seen_digit) return std::nullopt;
  const Int128 nanos = whole * kNanosPerSecond + fraction * power_of_ten(9 - fraction_digits);
  return negative ? -nanos : nanos;
}

std::optional<std::int64_t> parse_int64(std::string_view text) {
  std::int64_t number = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return number;
}

Date date_from_days(std::int64_t days) {
  const std::chrono::year_month_day ymd{std::chrono::sys_days{std::chrono::days{days}}};
  return Date{static_cast<int>(ymd.year()), static_cast<int>(static_cast<unsigned>(ymd.month())),
              static_cast<int>(static_cast<unsigned>(ymd.day()))};
}

// The wall-clock date-time `nanos` after the epoch, to the microsecond.
DateTime datetime_from_nanos(Int128 nanos, std::optional<int> utc_offset_minutes) {
  const Int128 seconds = floor_div(nanos, kNanosPerSecond);
  const auto sub_second = static_cast<int>(floor_mod(nanos, kNanosPerSecond));
  const auto days = static_cast<std::int64_t>(floor_div(seconds, 86400));
  const auto second_of_day = static_cast<int>(floor_mod(seconds, 86400));
  DateTime result;
  result.date = date_from_days(days);
  result.hour = second_of_day / 3600;
  result.minute = second_of_day / 60 % 60;
  result.second = second_of_day % 60;
  result.microsecond = sub_second / 1000;
  result.utc_offset_minutes = utc_offset_minutes;
  return result;
}

Value convert_fixed(const Column& column, const std::string& text) {
  if (column.scale > 0) {
    double number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error != std::errc() || end != text.data() + text.size()) fail(column, text);
    return number;
  }
  if (auto number = parse_int64(text)) return *number;
  // Beyond 64 bits: keep the exact digits.
  std::string_view digits = text;
  if (digits.starts_with('-')) digits.remove_prefix(1);
  if (digits.empty() || digits.find_first_not_of("0123456789") != std::string_view::npos) {
    fail(column, text);
  }
  return BigInt{text};
}

Value convert_real(const Column& column, const std::string& text) {
  std::string_view view = text;
  // from_chars takes no leading "+"; "Infinity" and "inf" read alike.
  if (view.starts_with('+')) view.remove_prefix(1);
  double number = 0;
  const auto [end, error] = std::from_chars(view.data(), view.data() + view.size(), number);
  if (error != std::errc() || end != view.data() + view.size()) fail(column, text);
  return number;
}

Value convert_boolean(const Column& column, const std::string& text) {
  const std::string word = text::to_ascii_lower(text);
  if (word == "1" || word == "true") return true;
  if (word == "0" || word == "false") return false;
  fail(column, text);
}

Value convert_time(const Column& column, const std::string& text) {
  const auto nanos = parse_nanos(text);
  if (!nanos || *nanos < 0) fail(column, text);
  const DateTime clock = datetime_from_nanos(*nanos, std::nullopt);
  std::string result = fmt::format("{:02}:{:02}:{:02}", clock.hour, clock.minute, clock.second);
  if (clock.microsecond != 0) result += fmt::format(".{:06}", clock.microsecond);
  return result;
}

Value convert_timestamp_tz(const Column& column, const std::string& text, int result_version) {
  Int128 utc_nanos = 0;
  Int128 zone_index = 0;
  if (result_version >= 1) {
    const size_t space = text.find(' ');
    const auto nanos = parse_nanos(std::string_view(text).substr(0, space));
    const auto index = space == std::string::npos
                           ? std::nullopt
                           : parse_int64(std::string_view(text).substr(space + 1));
    if (!nanos || !index) fail(column, text);
    utc_nanos = *nanos;
    zone_index = *index;
  } else {
    // Legacy form: one number scaled by 10^scale whose low 14 bits are the zone index.
    const auto nanos = parse_nanos(text);
    if (!nanos) fail(column, text);
    const Int128 scaled = floor_div(*nanos * power_of_ten(column.scale), kNanosPerSecond);
    zone_index = floor_mod(scaled, 16384);
    utc_nanos = floor_div(scaled, 16384) * power_of_ten(9 - column.scale);
  }
  if (zone_index < 0 || zone_index > 2880) fail(column, text);
  const int offset_minutes = static_cast<int>(zone_index) - 1440;
  return datetime_from_nanos(utc_nanos + Int128(offset_minutes) * 60 * kNanosPerSecond,
                             offset_minutes);
}

}  // namespace

Column column_from_rowtype(const nlohmann::json& entry) {
  Column column;
  column.name = entry.value("name", "");
  column.type = text::to_ascii_lower(entry.value("type", ""));
  if (const auto it = entry.find("precision"); it != entry.end() && it->is_number_integer()) {
    column.precision = it->get<int>();
  }
  if (const auto it = entry.find("scale"); it != entry.end() && it->is_number_integer()) {
    column.scale = it->get<int>();
  }
  if (const auto it = entry.find("nullable"); it != entry.end() && it->is_boolean()) {
    column.nullable = it->get<bool>();
  }
  return column;
}

Value convert_cell(const Column& column, const nlohmann::json& cell, int result_version) {
  if (cell.is_null()) return Value();
  const std::string text = cell.is_string() ? cell.get<std::string>() : cell.dump();
  const std::string& type = column.type;
  if (type == "fixed") return convert_fixed(column, text);
  if (type == "real") return convert_real(column, text);
  if (type == "boolean") return convert_boolean(column, text);
  if (type == "date") {
    const auto days = parse_int64(text);
    if (!days) fail(column, text);
    return date_from_days(*days);
  }
  if (type == "time") return convert_time(column, text);
  if (type == "timestamp_ntz" || type == "timestamp_ltz") {
    const auto nanos = parse_nanos(text);
    if (!nanos) fail(column, text);
    return datetime_from_nanos(*nanos,
                               type == "timestamp_ltz" ? std::optional<int>(0) : std::nullopt);
  }
  if (type == "timestamp_tz") return convert_timestamp_tz(column, text, result_version);
  // text, variant, object, array, map, binary and anything newer keep the text as sent.
  return text;
}

}  // namespace platform::snowflake::internal
