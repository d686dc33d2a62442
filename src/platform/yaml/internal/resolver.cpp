#include "platform/yaml/internal/resolver.hpp"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <optional>

#include <fmt/format.h>

#include "platform/text/ascii_case.hpp"
#include "platform/yaml/internal/natural.hpp"

namespace platform::yaml::internal {
namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_hex(char c) { return is_digit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// A cursor over the text for the hand-written forms of the resolver's patterns.
struct Cursor {
  std::string_view text;
  std::size_t pos = 0;

  bool done() const { return pos == text.size(); }
  char peek() const { return done() ? '\0' : text[pos]; }
  bool take(char c) {
    if (peek() != c || done()) return false;
    ++pos;
    return true;
  }
  bool take_sign() { return take('-') || take('+'); }
  // Consumes characters while `pred`; returns how many.
  template <typename Pred>
  std::size_t take_while(Pred pred) {
    const std::size_t start = pos;
    while (!done() && pred(text[pos])) ++pos;
    return pos - start;
  }
};

bool is_digit_or_underscore(char c) { return is_digit(c) || c == '_'; }

// (?::[0-5]?[0-9])+ followed by `next` or the end (when `next` is '\0').
bool take_sexagesimal_groups(Cursor& c, char next) {
  int groups = 0;
  while (c.take(':')) {
    const std::size_t start = c.pos;
    const std::size_t n = c.take_while(is_digit);
    if (n == 0 || n > 2 || (n == 2 && c.text[start] > '5')) return false;
    ++groups;
    if (c.peek() != ':' && !(next == '\0' ? c.done() : c.peek() == next)) return false;
  }
  return groups > 0;
}

bool matches_float(std::string_view text) {
  // .nan | .NaN | .NAN
  if (text == ".nan" || text == ".NaN" || text == ".NAN") return true;
  Cursor c{text};
  const bool signed_ = c.take_sign();
  // [-+]?\.(inf|Inf|INF)
  const std::string_view rest = text.substr(c.pos);
  if (rest == ".inf" || rest == ".Inf" || rest == ".INF") return true;
  auto fraction_and_exponent = [](Cursor& cur) {
    cur.take_while(is_digit_or_underscore);
    if (cur.take('e') || cur.take('E')) {
      if (!cur.take_sign()) return false;
      if (cur.take_while(is_digit) == 0) return false;
    }
    return cur.done();
  };
  if (c.peek() == '.') {
    // \.[0-9][0-9_]*([eE][-+][0-9]+)?  (no sign allowed)
    if (signed_) return false;
    c.take('.');
    if (!is_digit(c.peek())) return false;
    return fraction_and_exponent(c);
  }
  if (!is_digit(c.peek())) return false;
  c.take_while(is_digit_or_underscore);
  if (c.take('.')) return fraction_and_exponent(c);
  // [-+]?[0-9][0-9_]*(:[0-5]?[0-9])+\.[0-9_]*
  if (!take_sexagesimal_groups(c, '.')) return false;
  c.take('.');
  c.take_while(is_digit_or_underscore);
  return c.done();
}

bool matches_int(std::string_view text) {
  Cursor c{text};
  c.take_sign();
  if (c.done()) return false;
  if (c.peek() == '0') {
    c.take('0');
    if (c.done()) return true;
    if (c.take('b'))
      return c.take_while([](char ch) { return ch == '0' || ch == '1' || ch == '_'; }) > 0 &&
             c.done();
    if (c.take('x'))
      return c.take_while([](char ch) { return is_hex(ch) || ch == '_'; }) > 0 && c.done();
    return c.take_while([](char ch) { return (ch >= '0' && ch <= '7') || ch == '_'; }) > 0 &&
           c.done();
  }
  if (c.peek() < '1' || c.peek() > '9') return false;
  c.take_while(is_digit_or_underscore);
  if (c.done()) return true;
  return take_sexagesimal_groups(c, '\0') && c.done();
}

bool is_blank(char c) { return c == ' ' || c == '\t'; }

struct Timestamp {
  int year = 0, month = 0, day = 0;
  bool two_digit_date = false;
  bool has_time = false;
  int hour = 0, minute = 0, second = 0;
  std::string_view fraction;
  bool utc = false;
  std::optional<int> offset_minutes;
};

int number(std::string_view digits) {
  int value = 0;
  for (const char c : digits) value = value * 10 + (c - '0');
  return value;
}

// The constructor's pattern: YYYY-M?M-D?D, then optionally ([Tt]|[ \t]+)H?H:MM:SS(.F*)?
// ([ \t]*(Z|[-+]H?H(:MM)?))?, to the end of the text.
std::optional<Timestamp> parse_timestamp(std::string_view text) {
  Cursor c{text};
  Timestamp t;
  auto digits = [&c](std::size_t min, std::size_t max) -> std::optional<std::string_view> {
    const std::size_t start = c.pos;
    while (c.pos - start < max && is_digit(c.peek()) && !c.done()) ++c.pos;
    if (c.pos - start < min) return std::nullopt;
    return c.text.substr(start, c.pos - start);
  };
  const auto year = digits(4, 4);
  if (!year || !c.take('-')) return std::nullopt;
  const auto month = digits(1, 2);
  if (!month || !c.take('-')) return std::nullopt;
  const auto day = digits(1, 2);
  if (!day) return std::nullopt;
  t.year = number(*year), t.month = number(*month), t.day = number(*day);
  t.two_digit_date = month->size() == 2 && day->size() == 2;
  if (c.done()) return t;
  if (!(c.take('T') || c.take('t') || c.take_while(is_blank) > 0)) return std::nullopt;
  const auto hour = digits(1, 2);
  if (!hour || !c.take(':')) return std::nullopt;
  const auto minute = digits(2, 2);
  if (!minute || !c.take(':')) return std::nullopt;
  const auto second = digits(2, 2);
  if (!second) return std::nullopt;
  t.has_time = true;
  t.hour = number(*hour), t.minute = number(*minute), t.second = number(*second);
  if (c.take('.')) t.fraction = *digits(0, std::string_view::npos);
  if (c.done()) return t;
  c.take_while(is_blank);
  if (c.take('Z')) {
    t.utc = true;
  } else if (c.peek() == '-' || c.peek() == '+') {
    const bool negative = c.peek() == '-';
    c.take_sign();
    const auto tz_hour = digits(1, 2);
    if (!tz_hour) return std::nullopt;
    int minutes = number(*tz_hour) * 60;
    if (c.take(':')) {
      const auto tz_minute = digits(2, 2);
      if (!tz_minute) return std::nullopt;
      minutes += number(*tz_minute);
    }
    t.offset_minutes = negative ? -minutes : minutes;
  } else {
    return std::nullopt;
  }
  if (!c.done()) return std::nullopt;
  return t;
}

bool matches_timestamp(std::string_view text) {
  const auto t = parse_timestamp(text);
  return t && (t->has_time || t->two_digit_date);
}

std::string strip_underscores(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    if (c != '_') out.push_back(c);
  }
  return out;
}

[[noreturn]] void invalid(std::string_view type, std::string_view text) {
  throw ScalarError(fmt::format("invalid {} value '{}'", type, text));
}

Natural parse_natural(std::string_view digits, unsigned base, std::string_view original) {
  if (digits.empty()) invalid("int", original);
  if (digits.size() > kMaxIntegerDigits) {
    throw ScalarError(fmt::format("integer of {} digits exceeds the limit of {} digits",
                                  digits.size(), kMaxIntegerDigits));
  }
  Natural n;
  for (const char c : digits) {
    unsigned d = 0;
    if (is_digit(c)) {
      d = static_cast<unsigned>(c - '0');
    } else if (c >= 'a' && c <= 'f') {
      d = static_cast<unsigned>(c - 'a' + 10);
    } else if (c >= 'A' && c <= 'F') {
      d = static_cast<unsigned>(c - 'A' + 10);
    } else {
      invalid("int", original);
    }
    if (d >= base) invalid("int", original);
    n.multiply_add(base, d);
  }
  return n;
}

Value signed_value(const Natural& n, bool negative) {
  constexpr std::uint64_t kMaxPositive = std::numeric_limits<std::int64_t>::max();
  if (const auto small = n.to_u64(negative ? kMaxPositive + 1 : kMaxPositive)) {
    if (negative) return Value(static_cast<std::int64_t>(0 - *small));
    return Value(static_cast<std::int64_t>(*small));
  }
  std::string digits = negative ? "-" : "";
  digits += n.decimal();
  return Value(BigInt{std::move(digits)});
}

std::optional<double> parse_double(std::string_view text) {
  double value = 0;
  const char* end = text.data() + text.size();
  const auto result = std::from_chars(text.data(), end, value);
  if (result.ptr != end || text.empty()) return std::nullopt;
  if (result.ec == std::errc::result_out_of_range) {
    return std::strtod(std::string(text).c_str(), nullptr);  // overflow to inf, underflow to 0
  }
  if (result.ec != std::errc()) return std::nullopt;
  return value;
}

}  // namespace

ImplicitTag resolve_plain(std::string_view text) {
  if (text.empty()) return ImplicitTag::kNull;
  switch (text.front()) {
    case 'y':
    case 'Y':
    case 'n':
    case 'N':
    case 't':
    case 'T':
    case 'f':
    case 'F':
    case 'o':
    case 'O':
      for (const std::string_view word :
           {"yes", "Yes", "YES", "no", "No", "NO", "true", "True", "TRUE", "false", "False",
            "FALSE", "on", "On", "ON", "off", "Off", "OFF"}) {
        if (text == word) return ImplicitTag::kBool;
      }
      if (text == "null" || text == "Null" || text == "NULL") return ImplicitTag::kNull;
      return ImplicitTag::kStr;
    case '~':
      return text.size() == 1 ? ImplicitTag::kNull : ImplicitTag::kStr;
    case '<':
      return text == "<<" ? ImplicitTag::kMerge : ImplicitTag::kStr;
    case '=':
      return text == "=" ? ImplicitTag::kValue : ImplicitTag::kStr;
    case '-':
    case '+':
    case '.':
    case '0':
    case '1':
    case '2':
    case '3':
    case '4':
    case '5':
    case '6':
    case '7':
    case '8':
    case '9':
      if (matches_float(text)) return ImplicitTag::kFloat;
      if (matches_int(text)) return ImplicitTag::kInt;
      if (is_digit(text.front()) && matches_timestamp(text)) return ImplicitTag::kTimestamp;
      return ImplicitTag::kStr;
    default:
      return ImplicitTag::kStr;
  }
}

Value construct_bool(std::string_view text) {
  const std::string lower = text::to_ascii_lower(text);
  if (lower == "yes" || lower == "true" || lower == "on") return Value(true);
  if (lower == "no" || lower == "false" || lower == "off") return Value(false);
  invalid("bool", text);
}

Value construct_int(std::string_view text) {
  const std::string cleaned = strip_underscores(text);
  std::string_view s = cleaned;
  if (s.empty()) invalid("int", text);
  const bool negative = s.front() == '-';
  if (s.front() == '-' || s.front() == '+') s.remove_prefix(1);
  if (s == "0") return Value(0);
  if (s.starts_with("0b")) return signed_value(parse_natural(s.substr(2), 2, text), negative);
  if (s.starts_with("0x")) return signed_value(parse_natural(s.substr(2), 16, text), negative);
  if (s.starts_with("0")) return signed_value(parse_natural(s, 8, text), negative);
  if (s.find(':') == std::string_view::npos) {
    return signed_value(parse_natural(s, 10, text), negative);
  }
  // Sexagesimal: each part is a decimal number, the last the units.
  Natural total;
  std::size_t start = 0;
  while (true) {
    const std::size_t colon = s.find(':', start);
    const std::string_view part = s.substr(start, colon - start);
    total.multiply_add(60, 0);
    total.add(parse_natural(part, 10, text));
    if (colon == std::string_view::npos) break;
    start = colon + 1;
  }
  return signed_value(total, negative);
}

Value construct_float(std::string_view text) {
  const std::string cleaned = text::to_ascii_lower(strip_underscores(text));
  std::string_view s = cleaned;
  if (s.empty()) invalid("float", text);
  const double sign = s.front() == '-' ? -1.0 : 1.0;
  if (s.front() == '-' || s.front() == '+') s.remove_prefix(1);
  if (s == ".inf") return Value(sign * std::numeric_limits<double>::infinity());
  if (s == ".nan") return Value(std::numeric_limits<double>::quiet_NaN());
  if (s.find(':') == std::string_view::npos) {
    const auto value = parse_double(s);
    if (!value) invalid("float", text);
    return Value(sign * *value);
  }
  // Sexagesimal, summed from the units up as the reference does.
  double total = 0.0;
  double base = 1.0;
  std::size_t end = s.size();
  while (true) {
    const std::size_t colon = s.rfind(':', end - 1);
    const std::size_t start = colon == std::string_view::npos ? 0 : colon + 1;
    const auto part = parse_double(s.substr(start, end - start));
    if (!part) invalid("float", text);
    total += *part * base;
    base *= 60;
    if (colon == std::string_view::npos) break;
    end = colon;
    if (end == 0) invalid("float", text);
  }
  return Value(sign * total);
}

Value construct_timestamp(std::string_view text) {
  const auto t = parse_timestamp(text);
  if (!t) invalid("timestamp", text);
  auto fail = [&text](std::string_view why) -> Value {
    throw ScalarError(fmt::format("invalid timestamp '{}': {}", text, why));
  };
  if (t->year < 1) return fail("year is out of range");
  if (t->month < 1 || t->month > 12) return fail("month must be in 1..12");
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (t->year % 4 == 0 && t->year % 100 != 0) || t->year % 400 == 0;
  const int days = kDays[t->month - 1] + (t->month == 2 && leap ? 1 : 0);
  if (t->day < 1 || t->day > days) return fail("day is out of range for month");
  const Date date{t->year, t->month, t->day};
  if (!t->has_time) return Value(date);
  if (t->hour > 23) return fail("hour must be in 0..23");
  if (t->minute > 59) return fail("minute must be in 0..59");
  if (t->second > 59) return fail("second must be in 0..59");
  DateTime dt{date, t->hour, t->minute, t->second};
  std::string fraction(t->fraction.substr(0, 6));
  fraction.resize(6, '0');
  dt.microsecond = number(fraction);
  if (t->utc) dt.utc_offset_minutes = 0;
  if (t->offset_minutes) {
    if (std::abs(*t->offset_minutes) >= 24 * 60) {
      return fail("offset must be strictly between -24 and 24 hours");
    }
    dt.utc_offset_minutes = *t->offset_minutes;
  }
  return Value(dt);
}

}  // namespace platform::yaml::internal
