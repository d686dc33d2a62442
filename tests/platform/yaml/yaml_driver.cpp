// Runs dump and safe_load for the comparison with the reference library.
//
// Reads one JSON request per line on stdin and writes one JSON answer per line on stdout:
//   {"op": "dump", "tree": T}  ->  {"ok": true, "text": "..."}
//   {"op": "load", "text": "..."}  ->  {"ok": true, "tree": T}
//   any failure  ->  {"ok": false, "error": "..."}
// Trees are tagged so that every Value kind survives JSON: ["null"], ["bool", b],
// ["int", "123"] (any size), ["float", "1.5" | "inf" | "-inf" | "nan"], ["str", s],
// ["date", "2024-02-29"], ["datetime", "2024-02-29T10:20:30.000001+01:00"], ["list", [T...]],
// ["map", [[key, T]...]].
#include <charconv>
#include <cmath>
#include <iostream>
#include <limits>
#include <string>

#include <nlohmann/json.hpp>

#include "platform/errors/errors.hpp"
#include "platform/yaml/internal/python_text.hpp"
#include "platform/yaml/yaml.hpp"

namespace {

using nlohmann::json;
using platform::Value;

int digits_at(const std::string& text, std::size_t pos, std::size_t count) {
  return std::stoi(text.substr(pos, count));
}

platform::Date parse_date(const std::string& text) {
  return {digits_at(text, 0, 4), digits_at(text, 5, 2), digits_at(text, 8, 2)};
}

platform::DateTime parse_datetime(const std::string& text) {
  platform::DateTime dt;
  dt.date = parse_date(text);
  dt.hour = digits_at(text, 11, 2);
  dt.minute = digits_at(text, 14, 2);
  dt.second = digits_at(text, 17, 2);
  std::size_t pos = 19;
  if (pos < text.size() && text[pos] == '.') {
    dt.microsecond = digits_at(text, pos + 1, 6);
    pos += 7;
  }
  if (pos < text.size()) {
    const int minutes = digits_at(text, pos + 1, 2) * 60 + digits_at(text, pos + 4, 2);
    dt.utc_offset_minutes = text[pos] == '-' ? -minutes : minutes;
  }
  return dt;
}

Value from_tagged(const json& node) {
  const std::string kind = node.at(0).get<std::string>();
  if (kind == "null") return Value();
  if (kind == "bool") return Value(node.at(1).get<bool>());
  if (kind == "str") return Value(node.at(1).get<std::string>());
  if (kind == "date") return Value(parse_date(node.at(1).get<std::string>()));
  if (kind == "datetime") return Value(parse_datetime(node.at(1).get<std::string>()));
  if (kind == "int") {
    const std::string digits = node.at(1).get<std::string>();
    std::int64_t small = 0;
    const auto result = std::from_chars(digits.data(), digits.data() + digits.size(), small);
    if (result.ec == std::errc() && result.ptr == digits.data() + digits.size()) {
      return Value(small);
    }
    return Value(platform::BigInt{digits});
  }
  if (kind == "float") {
    const std::string text = node.at(1).get<std::string>();
    if (text == "nan") return Value(std::numeric_limits<double>::quiet_NaN());
    if (text == "inf") return Value(std::numeric_limits<double>::infinity());
    if (text == "-inf") return Value(-std::numeric_limits<double>::infinity());
    return Value(std::stod(text));
  }
  if (kind == "list") {
    Value::List list;
    for (const json& item : node.at(1)) list.push_back(from_tagged(item));
    return Value(std::move(list));
  }
  Value::Map map;
  for (const json& entry : node.at(1)) {
    map.emplace_back(entry.at(0).get<std::string>(), from_tagged(entry.at(1)));
  }
  return Value(std::move(map));
}

json to_tagged(const Value& value) {
  if (value.is_null()) return json::array({"null"});
  if (value.is_bool()) return json::array({"bool", value.as_bool()});
  if (value.is_int()) return json::array({"int", std::to_string(value.as_int())});
  if (value.is_big_int()) return json::array({"int", value.as_big_int().digits});
  if (value.is_double()) {
    return json::array({"float", platform::yaml::internal::float_repr(value.as_double())});
  }
  if (value.is_string()) return json::array({"str", value.as_string()});
  if (value.is_date()) return json::array({"date", value.as_date().iso()});
  if (value.is_datetime()) return json::array({"datetime", value.as_datetime().iso()});
  json items = json::array();
  if (value.is_list()) {
    for (const Value& item : value.as_list()) items.push_back(to_tagged(item));
    return json::array({"list", std::move(items)});
  }
  for (const auto& [key, item] : value.as_map())
    items.push_back(json::array({key, to_tagged(item)}));
  return json::array({"map", std::move(items)});
}

json answer(const json& request) {
  try {
    if (request.at("op") == "dump") {
      return {{"ok", true}, {"text", platform::yaml::dump(from_tagged(request.at("tree")))}};
    }
    const Value tree = platform::yaml::safe_load(request.at("text").get<std::string>());
    return {{"ok", true}, {"tree", to_tagged(tree)}};
  } catch (const platform::Error& error) {
    return {{"ok", false}, {"error", error.what()}};
  }
}

}  // namespace

int main() {
  std::string line;
  while (std::getline(std::cin, line)) {
    std::cout << answer(json::parse(line)).dump() << '\n';
  }
  return 0;
}
