#include "platform/json/ordered_json.hpp"

#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <limits>

#include "platform/errors/errors.hpp"
#include "platform/json/json_writer.hpp"

namespace platform::json {
namespace {

template <typename Integer>
std::optional<Integer> parse_whole(const std::string& digits) {
  Integer parsed{};
  const char* end = digits.data() + digits.size();
  const auto result = std::from_chars(digits.data(), end, parsed);
  if (result.ec != std::errc() || result.ptr != end) return std::nullopt;
  return parsed;
}

nlohmann::ordered_json big_int_to_json(const BigInt& number) {
  if (const auto fits = parse_whole<std::int64_t>(number.digits)) return *fits;
  if (const auto fits = parse_whole<std::uint64_t>(number.digits)) return *fits;
  return std::strtod(number.digits.c_str(), nullptr);
}

struct ToJson {
  nlohmann::ordered_json operator()(std::monostate) const { return nullptr; }
  nlohmann::ordered_json operator()(bool b) const { return b; }
  nlohmann::ordered_json operator()(std::int64_t i) const { return i; }
  nlohmann::ordered_json operator()(const BigInt& i) const { return big_int_to_json(i); }
  nlohmann::ordered_json operator()(double d) const { return d; }
  nlohmann::ordered_json operator()(const std::string& s) const { return s; }
  nlohmann::ordered_json operator()(const Date& d) const { return iso_text(d); }
  nlohmann::ordered_json operator()(const DateTime& d) const { return iso_text(d); }
  nlohmann::ordered_json operator()(const Value::List& list) const {
    nlohmann::ordered_json array = nlohmann::ordered_json::array();
    for (const Value& element : list) array.push_back(to_ordered_json(element));
    return array;
  }
  nlohmann::ordered_json operator()(const Value::Map& map) const {
    nlohmann::ordered_json object = nlohmann::ordered_json::object();
    // operator[] keeps the first position of a repeated key and its last value, as Value::set does.
    for (const auto& [key, element] : map) object[key] = to_ordered_json(element);
    return object;
  }
};

}  // namespace

nlohmann::ordered_json to_ordered_json(const Value& value) {
  return std::visit(ToJson{}, value.data());
}

Value from_ordered_json(const nlohmann::ordered_json& json) {
  using Type = nlohmann::ordered_json::value_t;
  switch (json.type()) {
    case Type::null:
    case Type::discarded:
      return nullptr;
    case Type::boolean:
      return json.get<bool>();
    case Type::number_integer:
      return json.get<std::int64_t>();
    case Type::number_unsigned: {
      const auto number = json.get<std::uint64_t>();
      if (number <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
        return static_cast<std::int64_t>(number);
      }
      return BigInt{std::to_string(number)};
    }
    case Type::number_float:
      return json.get<double>();
    case Type::string:
      return json.get<std::string>();
    case Type::array: {
      Value::List list;
      list.reserve(json.size());
      for (const auto& element : json) list.push_back(from_ordered_json(element));
      return list;
    }
    case Type::object: {
      Value::Map map;
      map.reserve(json.size());
      for (const auto& [key, element] : json.items())
        map.emplace_back(key, from_ordered_json(element));
      return map;
    }
    case Type::binary:
      if (is_exact_number(json)) {
        const auto& bytes = json.get_binary();
        return BigInt{std::string(bytes.begin(), bytes.end())};
      }
      break;
  }
  throw ValueError("a binary JSON value has no Value form");
}

nlohmann::ordered_json exact_number(const BigInt& number) {
  return nlohmann::ordered_json::binary(
      std::vector<std::uint8_t>(number.digits.begin(), number.digits.end()), kExactNumberSubtype);
}

bool is_exact_number(const nlohmann::ordered_json& json) {
  return json.is_binary() && json.get_binary().has_subtype() &&
         json.get_binary().subtype() == kExactNumberSubtype;
}

namespace {

std::string nlohmann_compact(const nlohmann::ordered_json& json) {
  return json.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

void dump_exact_into(const nlohmann::ordered_json& json, std::string& out) {
  if (json.is_object()) {
    out += '{';
    for (auto member = json.begin(); member != json.end(); ++member) {
      if (member != json.begin()) out += ',';
      out += nlohmann_compact(member.key());
      out += ':';
      dump_exact_into(member.value(), out);
    }
    out += '}';
  } else if (json.is_array()) {
    out += '[';
    for (auto element = json.begin(); element != json.end(); ++element) {
      if (element != json.begin()) out += ',';
      dump_exact_into(*element, out);
    }
    out += ']';
  } else if (is_exact_number(json)) {
    const auto& digits = json.get_binary();
    out.append(digits.begin(), digits.end());
  } else {
    out += nlohmann_compact(json);
  }
}

}  // namespace

std::string dump_exact(const nlohmann::ordered_json& json) {
  std::string out;
  dump_exact_into(json, out);
  return out;
}

}  // namespace platform::json
