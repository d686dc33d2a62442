#include "platform/yaml/internal/python_text.hpp"

#include <charconv>
#include <cmath>
#include <cstdlib>

namespace platform::yaml::internal {

std::string float_repr(double value) {
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
  char buffer[64];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
  const std::string_view scientific(buffer, static_cast<std::size_t>(result.ptr - buffer));
  // scientific is "-d.ddde+XX": split into sign, digits and the decimal exponent.
  const bool negative = scientific.front() == '-';
  const std::size_t e_pos = scientific.find('e');
  std::string digits;
  for (const char c : scientific.substr(negative ? 1 : 0, e_pos - (negative ? 1 : 0))) {
    if (c != '.') digits.push_back(c);
  }
  const int exponent = std::atoi(std::string(scientific.substr(e_pos + 1)).c_str());
  const int point = exponent + 1;  // digits are 0.ddd * 10^point
  const int count = static_cast<int>(digits.size());
  // Appends only: GCC 12 misreads chains of string concatenation (-Wrestrict).
  std::string text = negative ? "-" : "";
  if (point > -4 && point <= 16) {
    if (point <= 0) {
      text.append("0.").append(static_cast<std::size_t>(-point), '0').append(digits);
    } else if (point >= count) {
      text.append(digits).append(static_cast<std::size_t>(point - count), '0').append(".0");
    } else {
      text.append(digits, 0, static_cast<std::size_t>(point))
          .append(".")
          .append(digits, static_cast<std::size_t>(point));
    }
    return text;
  }
  text.append(digits, 0, 1);
  if (count > 1) text.append(".").append(digits, 1);
  const int shown = point - 1;
  const int magnitude = shown < 0 ? -shown : shown;
  text += shown < 0 ? "e-" : "e+";
  if (magnitude < 10) text += '0';
  text += std::to_string(magnitude);
  return text;
}

std::string yaml_float_text(double value) {
  if (std::isnan(value)) return ".nan";
  if (std::isinf(value)) return value < 0 ? "-.inf" : ".inf";
  std::string text = float_repr(value);
  const std::size_t e_pos = text.find('e');
  if (e_pos != std::string::npos && text.find('.') == std::string::npos) {
    text.insert(e_pos, ".0");
  }
  return text;
}

std::optional<std::string> key_text(const Value& key) {
  struct Visitor {
    std::optional<std::string> operator()(std::monostate) const { return "None"; }
    std::optional<std::string> operator()(bool b) const { return b ? "True" : "False"; }
    std::optional<std::string> operator()(std::int64_t i) const { return std::to_string(i); }
    std::optional<std::string> operator()(const BigInt& i) const { return i.digits; }
    std::optional<std::string> operator()(double d) const { return float_repr(d); }
    std::optional<std::string> operator()(const std::string& s) const { return s; }
    std::optional<std::string> operator()(const Date& d) const { return d.iso(); }
    std::optional<std::string> operator()(const DateTime& d) const {
      std::string text = d.iso();
      text[10] = ' ';
      return text;
    }
    std::optional<std::string> operator()(const Value::List&) const { return std::nullopt; }
    std::optional<std::string> operator()(const Value::Map&) const { return std::nullopt; }
  };
  return std::visit(Visitor{}, key.data());
}

}  // namespace platform::yaml::internal
