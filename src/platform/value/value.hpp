// `Value`: the "any value" tree that records, YAML and JSON share.
//
// A value is null, a boolean, an integer (one beyond 64 bits keeps its exact decimal text), a
// double, a text, a date, a date-time (with or without a UTC offset), a list, or a map whose
// keys keep their insertion order.
//
//   Value row = Value::Map{{"id", 7}, {"name", "orders"}, {"tags", Value::List{"a", "b"}}};
//   if (const auto* name = row.find("name")) use(name->as_string());
#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace platform {

struct Date {
  int year = 1970;
  int month = 1;
  int day = 1;
  auto operator<=>(const Date&) const = default;
  // ISO 8601, "2024-02-29".
  std::string iso() const;
};

struct DateTime {
  Date date;
  int hour = 0;
  int minute = 0;
  int second = 0;
  int microsecond = 0;
  // Minutes east of UTC; absent for a naive date-time.
  std::optional<int> utc_offset_minutes;
  auto operator<=>(const DateTime&) const = default;
  // ISO 8601 in Python's isoformat: "2024-02-29T10:20:30", then ".123456" when there are
  // microseconds, then "+01:00" (or "+00:00") when there is an offset.
  std::string iso() const;
};

// An integer too large for 64 bits, kept as its exact decimal text ("-123...").
struct BigInt {
  std::string digits;
  auto operator<=>(const BigInt&) const = default;
};

class Value {
 public:
  using List = std::vector<Value>;
  using Map = std::vector<std::pair<std::string, Value>>;

  Value() = default;
  Value(std::nullptr_t) {}
  Value(bool b) : data_(b) {}
  Value(int i) : data_(static_cast<std::int64_t>(i)) {}
  Value(std::int64_t i) : data_(i) {}
  Value(BigInt i) : data_(std::move(i)) {}
  Value(double d) : data_(d) {}
  Value(std::string s) : data_(std::move(s)) {}
  Value(std::string_view s) : data_(std::string(s)) {}
  Value(const char* s) : data_(std::string(s)) {}
  Value(Date d) : data_(d) {}
  Value(DateTime d) : data_(d) {}
  Value(List l) : data_(std::move(l)) {}
  Value(Map m) : data_(std::move(m)) {}

  bool is_null() const { return std::holds_alternative<std::monostate>(data_); }
  bool is_bool() const { return std::holds_alternative<bool>(data_); }
  bool is_int() const { return std::holds_alternative<std::int64_t>(data_); }
  bool is_big_int() const { return std::holds_alternative<BigInt>(data_); }
  bool is_double() const { return std::holds_alternative<double>(data_); }
  bool is_string() const { return std::holds_alternative<std::string>(data_); }
  bool is_date() const { return std::holds_alternative<Date>(data_); }
  bool is_datetime() const { return std::holds_alternative<DateTime>(data_); }
  bool is_list() const { return std::holds_alternative<List>(data_); }
  bool is_map() const { return std::holds_alternative<Map>(data_); }

  // Accessors; each throws platform::AssertionError when the value holds another kind.
  bool as_bool() const;
  std::int64_t as_int() const;
  const BigInt& as_big_int() const;
  double as_double() const;
  const std::string& as_string() const;
  const Date& as_date() const;
  const DateTime& as_datetime() const;
  const List& as_list() const;
  List& as_list();
  const Map& as_map() const;
  Map& as_map();

  // The first entry under `key` in a map; null when absent or when this is no map.
  const Value* find(std::string_view key) const;
  Value* find(std::string_view key);
  // Sets `key` in a map, replacing an existing entry in place or appending a new one.
  void set(std::string key, Value value);

  // A short name of the kind held, for error texts: "null", "bool", "int", "float", "str",
  // "date", "datetime", "list", "dict".
  std::string_view type_name() const;

  friend bool operator==(const Value& a, const Value& b) { return a.data_ == b.data_; }

  using Data = std::variant<std::monostate, bool, std::int64_t, BigInt, double, std::string, Date,
                            DateTime, List, Map>;
  const Data& data() const { return data_; }

 private:
  Data data_;
};

}  // namespace platform
