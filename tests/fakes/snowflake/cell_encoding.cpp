#include "tests/fakes/snowflake/cell_encoding.hpp"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <string_view>

#include "platform/text/ascii_case.hpp"
namespace fakes::warehouse {
namespace {

constexpr std::int64_t kSecondsPerDay = 86400;

std::int64_t power_of_ten(int exponent) {
  std::int64_t result = 1;
  for (int i = 0; i < exponent; ++i) result *= 10;
  return result;
}

// Days since 1970-01-01 of a proleptic Gregorian date.
std::int64_t days_from_civil(std::int64_t year, unsigned month, unsigned day) {
  year -= month <= 2;
  const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
  const auto year_of_era = static_cast<unsigned>(year - era * 400);
  const unsigned day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const unsigned day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * 146097 + static_cast<std::int64_t>(day_of_era) - 719468;
}

// A cursor over date/time text; every reader returns false when the text does not match.
class TextCursor {
 public:
  explicit TextCursor(std::string_view text) : text_(text) {}
  bool at_end() const { return position_ == text_.size(); }
  bool peek(char c) const { return position_ < text_.size() && text_[position_] == c; }
  bool skip(char c) {
    if (!peek(c)) return false;
    ++position_;
    return true;
  }
  bool digits(size_t count, std::int64_t& value) {
    if (position_ + count > text_.size()) return false;
    value = 0;
    for (size_t i = 0; i < count; ++i) {
      const char c = text_[position_ + i];
      if (!std::isdigit(static_cast<unsigned char>(c))) return false;
      value = value * 10 + (c - '0');
    }
    position_ += count;
    return true;
  }
  // Up to nine fraction digits as nanoseconds; further digits are dropped.
  bool fraction(std::int64_t& nanos) {
    nanos = 0;
    size_t count = 0;
    while (position_ < text_.size() && std::isdigit(static_cast<unsigned char>(text_[position_]))) {
      if (count < 9) nanos = nanos * 10 + (text_[position_] - '0');
      ++count;
      ++position_;
    }
    for (size_t i = count; i < 9; ++i) nanos *= 10;
    return count > 0;
  }
  void skip_spaces() {
    while (peek(' ')) ++position_;
  }

 private:
  std::string_view text_;
  size_t position_ = 0;
};

struct ClockTime {
  std::int64_t seconds = 0;  // since midnight
  std::int64_t nanos = 0;
};

bool read_clock(TextCursor& cursor, ClockTime& clock) {
  std::int64_t hours = 0, minutes = 0, seconds = 0;
  if (!cursor.digits(2, hours) || !cursor.skip(':') || !cursor.digits(2, minutes)) return false;
  if (cursor.skip(':')) {
    if (!cursor.digits(2, seconds)) return false;
    if (cursor.skip('.') && !cursor.fraction(clock.nanos)) return false;
  }
  if (hours > 23 || minutes > 59 || seconds > 59) return false;
  clock.seconds = hours * 3600 + minutes * 60 + seconds;
  return true;
}

struct DateTime {
  std::int64_t days = 0;
  ClockTime clock;
  std::optional<int> offset_minutes;
};

std::optional<DateTime> parse_date_time(std::string_view text) {
  TextCursor cursor(text);
  DateTime result;
  std::int64_t year = 0, month = 0, day = 0;
  if (!cursor.digits(4, year) || !cursor.skip('-') || !cursor.digits(2, month) ||
      !cursor.skip('-') || !cursor.digits(2, day) || month < 1 || month > 12 || day < 1 ||
      day > 31) {
    return std::nullopt;
  }
  result.days = days_from_civil(year, static_cast<unsigned>(month), static_cast<unsigned>(day));
  if (cursor.skip(' ') || cursor.skip('T')) {
    if (!read_clock(cursor, result.clock)) return std::nullopt;
  }
  cursor.skip_spaces();
  if (cursor.skip('Z')) {
    result.offset_minutes = 0;
  } else if (cursor.peek('+') || cursor.peek('-')) {
    const int sign = cursor.skip('-') ? -1 : 1;
    cursor.skip('+');
    std::int64_t hours = 0, minutes = 0;
    if (!cursor.digits(2, hours)) return std::nullopt;
    cursor.skip(':');
    if (!cursor.digits(2, minutes) || hours > 23 || minutes > 59) return std::nullopt;
    result.offset_minutes = sign * static_cast<int>(hours * 60 + minutes);
  }
  if (!cursor.at_end()) return std::nullopt;
  return result;
}

// `seconds` plus `nanos` written with exactly `scale` fraction digits (truncated).
std::string scaled_seconds(std::int64_t seconds, std::int64_t nanos, int scale) {
  const std::int64_t units = seconds * power_of_ten(scale) + nanos / power_of_ten(9 - scale);
  if (scale == 0) return std::to_string(units);
  const std::int64_t magnitude = units < 0 ? -units : units;
  std::string fraction = std::to_string(magnitude % power_of_ten(scale));
  fraction.insert(0, static_cast<size_t>(scale) - fraction.size(), '0');
  return (units < 0 ? "-" : "") + std::to_string(magnitude / power_of_ten(scale)) + "." + fraction;
}

std::string shortest_double(double value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
  char buffer[64];
  const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
  return std::string(buffer, end);
}

// Decimal text rescaled to `scale` fraction digits, rounding half away from zero.
std::optional<std::string> rescale_decimal(std::string_view text, int scale) {
  bool negative = false;
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  const auto point = text.find('.');
  std::string whole(text.substr(0, point));
  std::string fraction(point == std::string_view::npos ? "" : text.substr(point + 1));
  const auto all_digits = [](const std::string& part) {
    return std::all_of(part.begin(), part.end(), [](char c) { return std::isdigit(c); });
  };
  if ((whole.empty() && fraction.empty()) || !all_digits(whole) || !all_digits(fraction)) {
    return std::nullopt;
  }
  const bool round_up = fraction.size() > static_cast<size_t>(scale) && fraction[scale] >= '5';
  fraction.resize(static_cast<size_t>(scale), '0');
  std::string digits = "0" + whole + fraction;
  for (size_t i = digits.size(); round_up && i-- > 0;) {
    if (digits[i] == '9') {
      digits[i] = '0';
    } else {
      ++digits[i];
      break;
    }
  }
  std::string integer_part = digits.substr(0, digits.size() - scale);
  integer_part.erase(0, std::min(integer_part.find_first_not_of('0'), integer_part.size() - 1));
  std::string result = integer_part;
  if (scale > 0) result += "." + digits.substr(digits.size() - scale);
  const bool zero = result.find_first_not_of("0.") == std::string::npos;
  return (negative && !zero ? "-" : "") + result;
}

[[noreturn]] void not_recognized(const char* what, const SqliteValue& value) {
  throw CellError(std::string(what) + " '" + value.bytes + "' is not recognized");
}

std::string encode_fixed(const ColumnType& type, const SqliteValue& value) {
  const int scale = type.scale.value_or(0);
  if (value.storage == SQLITE_INTEGER) {
    return scale == 0 ? std::to_string(value.integer)
                      : std::to_string(value.integer) + "." + std::string(scale, '0');
  }
  std::string text = value.bytes;
  if (value.storage == SQLITE_FLOAT) {
    // Three guard digits, so the rounding to `scale` digits is decimal, not binary.
    char buffer[400];
    std::snprintf(buffer, sizeof buffer, "%.*f", std::min(scale + 3, 40), value.real);
    text = buffer;
  }
  if (auto rescaled = rescale_decimal(text, scale)) return *rescaled;
  throw CellError("Numeric value '" + text + "' is not recognized");
}

std::string encode_real(const SqliteValue& value) {
  if (value.storage == SQLITE_INTEGER) return std::to_string(value.integer);
  if (value.storage == SQLITE_FLOAT) return shortest_double(value.real);
  double parsed = 0;
  const auto* end = value.bytes.data() + value.bytes.size();
  if (std::from_chars(value.bytes.data(), end, parsed).ptr != end || value.bytes.empty()) {
    throw CellError("Numeric value '" + value.bytes + "' is not recognized");
  }
  return shortest_double(parsed);
}

std::string encode_boolean(const SqliteValue& value) {
  if (value.storage == SQLITE_INTEGER) return value.integer != 0 ? "1" : "0";
  if (value.storage == SQLITE_FLOAT) return value.real != 0 ? "1" : "0";
  const std::string lower = platform::text::to_ascii_lower(value.bytes);
  for (const char* yes : {"true", "t", "yes", "y", "on", "1"}) {
    if (lower == yes) return "1";
  }
  for (const char* no : {"false", "f", "no", "n", "off", "0"}) {
    if (lower == no) return "0";
  }
  throw CellError("Boolean value '" + value.bytes + "' is not recognized");
}

std::string encode_time(const ColumnType& type, const SqliteValue& value) {
  const int scale = type.scale.value_or(9);
  if (value.storage == SQLITE_INTEGER) return scaled_seconds(value.integer, 0, scale);
  TextCursor cursor(value.bytes);
  ClockTime clock;
  if (!read_clock(cursor, clock) || !cursor.at_end()) not_recognized("Time", value);
  return scaled_seconds(clock.seconds, clock.nanos, scale);
}

std::string encode_timestamp(const ColumnType& type, const SqliteValue& value) {
  const int scale = type.scale.value_or(9);
  if (value.storage == SQLITE_INTEGER || value.storage == SQLITE_FLOAT) {
    const double seconds =
        value.storage == SQLITE_INTEGER ? static_cast<double>(value.integer) : value.real;
    const auto whole = static_cast<std::int64_t>(std::floor(seconds));
    const auto nanos = static_cast<std::int64_t>(std::llround((seconds - whole) * 1e9));
    const std::string instant = scaled_seconds(whole, nanos, scale);
    return type.type == "timestamp_tz" ? instant + " 1440" : instant;
  }
  const auto parsed = parse_date_time(value.bytes);
  if (!parsed) not_recognized("Timestamp", value);
  const std::int64_t wall = parsed->days * kSecondsPerDay + parsed->clock.seconds;
  const int offset = parsed->offset_minutes.value_or(0);
  if (type.type == "timestamp_ntz") return scaled_seconds(wall, parsed->clock.nanos, scale);
  const std::string instant = scaled_seconds(wall - offset * 60, parsed->clock.nanos, scale);
  if (type.type == "timestamp_ltz") return instant;
  return instant + " " + std::to_string(offset + 1440);
}

std::string encode_date(const SqliteValue& value) {
  if (value.storage == SQLITE_INTEGER) return std::to_string(value.integer);
  const auto parsed = parse_date_time(value.bytes);
  if (!parsed) not_recognized("Date", value);
  return std::to_string(parsed->days);
}

std::string hex_upper(const std::string& bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string result;
  for (unsigned char c : bytes) {
    result.push_back(kDigits[c >> 4]);
    result.push_back(kDigits[c & 15]);
  }
  return result;
}

// Any non-null value as plain text, the way SQLite would print it.
std::string as_text(const SqliteValue& value) {
  if (value.storage == SQLITE_INTEGER) return std::to_string(value.integer);
  if (value.storage == SQLITE_FLOAT) return shortest_double(value.real);
  return value.bytes;
}

}  // namespace

std::optional<std::string> encode_cell(const ColumnType& type, const SqliteValue& value) {
  if (value.storage == SQLITE_NULL) return std::nullopt;
  const std::string& name = type.type;
  if (name == "fixed") return encode_fixed(type, value);
  if (name == "real") return encode_real(value);
  if (name == "boolean") return encode_boolean(value);
  if (name == "date") return encode_date(value);
  if (name == "time") return encode_time(type, value);
  if (name.starts_with("timestamp_")) return encode_timestamp(type, value);
  if (name == "binary")
    return hex_upper(value.storage == SQLITE_BLOB ? value.bytes : as_text(value));
  return as_text(value);  // text, variant, object, array
}

}  // namespace fakes::warehouse
