#include "platform/value/value.hpp"

#include <fmt/format.h>

#include "platform/errors/errors.hpp"

namespace platform {

std::string Date::iso() const { return fmt::format("{:04}-{:02}-{:02}", year, month, day); }

std::string DateTime::iso() const {
  std::string text = fmt::format("{}T{:02}:{:02}:{:02}", date.iso(), hour, minute, second);
  if (microsecond != 0) text += fmt::format(".{:06}", microsecond);
  if (utc_offset_minutes) {
    const int offset = *utc_offset_minutes;
    const int magnitude = offset < 0 ? -offset : offset;
    text += fmt::format("{}{:02}:{:02}", offset < 0 ? '-' : '+', magnitude / 60, magnitude % 60);
  }
  return text;
}

namespace {

template <typename T>
const T& get_or_fail(const Value::Data& data, const char* wanted) {
  const T* held = std::get_if<T>(&data);
  if (held == nullptr) throw AssertionError(fmt::format("value is not a {}", wanted));
  return *held;
}

}  // namespace

bool Value::as_bool() const { return get_or_fail<bool>(data_, "bool"); }
std::int64_t Value::as_int() const { return get_or_fail<std::int64_t>(data_, "int"); }
const BigInt& Value::as_big_int() const { return get_or_fail<BigInt>(data_, "big int"); }
double Value::as_double() const { return get_or_fail<double>(data_, "float"); }
const std::string& Value::as_string() const { return get_or_fail<std::string>(data_, "str"); }
const Date& Value::as_date() const { return get_or_fail<Date>(data_, "date"); }
const DateTime& Value::as_datetime() const { return get_or_fail<DateTime>(data_, "datetime"); }
const Value::List& Value::as_list() const { return get_or_fail<List>(data_, "list"); }
Value::List& Value::as_list() { return const_cast<List&>(std::as_const(*this).as_list()); }
const Value::Map& Value::as_map() const { return get_or_fail<Map>(data_, "dict"); }
Value::Map& Value::as_map() { return const_cast<Map&>(std::as_const(*this).as_map()); }

const Value* Value::find(std::string_view key) const {
  const Map* map = std::get_if<Map>(&data_);
  if (map == nullptr) return nullptr;
  for (const auto& [entry_key, entry_value] : *map) {
    if (entry_key == key) return &entry_value;
  }
  return nullptr;
}

Value* Value::find(std::string_view key) {
  return const_cast<Value*>(std::as_const(*this).find(key));
}

void Value::set(std::string key, Value value) {
  Map& map = as_map();
  for (auto& [entry_key, entry_value] : map) {
    if (entry_key == key) {
      entry_value = std::move(value);
      return;
    }
  }
  map.emplace_back(std::move(key), std::move(value));
}

std::string_view Value::type_name() const {
  static constexpr std::string_view kNames[] = {"null", "bool", "int",      "int",  "float",
                                                "str",  "date", "datetime", "list", "dict"};
  return kNames[data_.index()];
}

}  // namespace platform
