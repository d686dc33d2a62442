#include "platform/pyrepr/python_repr.hpp"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <vector>

#include <fmt/format.h>

#include "platform/text/utf8.hpp"

namespace platform::pyrepr {
namespace {

constexpr int kWidth = 80;

// UTF-8 text as code points. Texts reach the Python side decoded, and bytes that are not UTF-8
// are replaced there (the HTTP client decodes answers with errors="replace"), so they show as
// U+FFFD, one for each maximal subpart.
std::vector<char32_t> decode(std::string_view text) {
  std::vector<char32_t> points;
  for (size_t i = 0; i < text.size();) {
    const platform::text::Utf8Char character = platform::text::decode_utf8_char_replacing(text, i);
    points.push_back(character.code_point);
    i += character.length;
  }
  return points;
}

size_t length_of(std::string_view text) {
  size_t count = 0;
  for (const char c : text) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return count;
}

// Code points Python's repr escapes beyond the ASCII controls: C1 controls, space separators
// other than " ", the common format characters, line and paragraph separators, private use.
bool unprintable(char32_t point) {
  return point < 0x20 || (point >= 0x7F && point <= 0xA0) || point == 0xAD || point == 0x1680 ||
         (point >= 0x2000 && point <= 0x200F) || (point >= 0x2028 && point <= 0x202F) ||
         (point >= 0x205F && point <= 0x206F) || point == 0x3000 || point == 0xFEFF ||
         (point >= 0xE000 && point <= 0xF8FF) || (point >= 0xFFF9 && point <= 0xFFFB);
}

bool is_space(char32_t point) {
  return (point >= 0x09 && point <= 0x0D) || (point >= 0x1C && point <= 0x20) || point == 0x85 ||
         point == 0xA0 || point == 0x1680 || (point >= 0x2000 && point <= 0x200A) ||
         point == 0x2028 || point == 0x2029 || point == 0x202F || point == 0x205F ||
         point == 0x3000;
}

std::string repr_points(const std::vector<char32_t>& points, size_t begin, size_t end) {
  bool has_single = false;
  bool has_double = false;
  for (size_t i = begin; i < end; ++i) {
    has_single = has_single || points[i] == U'\'';
    has_double = has_double || points[i] == U'"';
  }
  const char32_t quote = has_single && !has_double ? U'"' : U'\'';
  std::string out(1, static_cast<char>(quote));
  for (size_t i = begin; i < end; ++i) {
    const char32_t point = points[i];
    if (point == quote || point == U'\\') {
      out += '\\';
      out += static_cast<char>(point);
    } else if (point == U'\t') {
      out += "\\t";
    } else if (point == U'\n') {
      out += "\\n";
    } else if (point == U'\r') {
      out += "\\r";
    } else if (point == U' ') {
      out += ' ';
    } else if (unprintable(point)) {
      out += point < 0x100     ? fmt::format("\\x{:02x}", static_cast<unsigned>(point))
             : point < 0x10000 ? fmt::format("\\u{:04x}", static_cast<unsigned>(point))
                               : fmt::format("\\U{:08x}", static_cast<unsigned>(point));
    } else {
      platform::text::append_utf8(point, out);
    }
  }
  out += static_cast<char>(quote);
  return out;
}

}  // namespace

std::string python_text_repr(std::string_view text) {
  const auto points = decode(text);
  return repr_points(points, 0, points.size());
}

namespace {

// Python's float repr: the shortest digits that read back, fixed notation for decimal
// exponents from -4 to 15, else "1.5e+16".
std::string repr_float(double value) {
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
  char buffer[64];
  const auto [end, error] =
      std::to_chars(buffer, buffer + sizeof(buffer), value, std::chars_format::scientific);
  const std::string_view scientific(buffer, static_cast<size_t>(end - buffer));
  const size_t e = scientific.find('e');
  std::string_view mantissa = scientific.substr(0, e);
  const int exponent = std::atoi(std::string(scientific.substr(e + 1)).c_str());
  const bool negative = mantissa.starts_with('-');
  if (negative) mantissa.remove_prefix(1);
  std::string digits;
  for (const char c : mantissa) {
    if (c != '.') digits += c;
  }
  const int point = exponent + 1;  // digits before the decimal point
  std::string out = negative ? "-" : "";
  if (point <= -4 || point > 16) {
    out += digits.substr(0, 1);
    if (digits.size() > 1) out += "." + digits.substr(1);
    out += fmt::format("e{}{:02}", exponent < 0 ? '-' : '+', std::abs(exponent));
  } else if (point <= 0) {
    out += "0." + std::string(static_cast<size_t>(-point), '0') + digits;
  } else if (static_cast<size_t>(point) >= digits.size()) {
    out += digits + std::string(static_cast<size_t>(point) - digits.size(), '0') + ".0";
  } else {
    out += digits.substr(0, static_cast<size_t>(point)) + "." +
           digits.substr(static_cast<size_t>(point));
  }
  return out;
}

class Printer {
 public:
  std::string out;

  void format(const nlohmann::json& value, int indent, int allowance, int level) {
    const std::string rep = python_repr(value);
    const int max_width = kWidth - indent - allowance;
    if (static_cast<int>(length_of(rep)) > max_width) {
      if (value.is_object()) return format_map(value, indent, allowance, level + 1);
      if (value.is_array()) return format_list(value, indent, allowance, level + 1);
      if (value.is_string()) {
        return format_text(value.get_ref<const std::string&>(), indent, allowance, level + 1);
      }
    }
    out += rep;
  }

 private:
  void format_map(const nlohmann::json& map, int indent, int allowance, int level) {
    out += '{';
    indent += 1;
    allowance += 1;
    const std::string delimiter = ",\n" + std::string(static_cast<size_t>(indent), ' ');
    size_t index = 0;
    for (const auto& [key, entry] : map.items()) {
      const bool last = ++index == map.size();
      const std::string rep = python_text_repr(key);
      out += rep + ": ";
      format(entry, indent + static_cast<int>(length_of(rep)) + 2, last ? allowance : 1, level);
      if (!last) out += delimiter;
    }
    out += '}';
  }

  void format_list(const nlohmann::json& list, int indent, int allowance, int level) {
    out += '[';
    indent += 1;
    allowance += 1;
    const std::string delimiter = ",\n" + std::string(static_cast<size_t>(indent), ' ');
    for (size_t i = 0; i < list.size(); ++i) {
      if (i > 0) out += delimiter;
      format(list[i], indent, i + 1 == list.size() ? allowance : 1, level);
    }
    out += ']';
  }

  // A long text becomes adjacent literals, split after white space, one line of its own each.
  void format_text(const std::string& text, int indent, int allowance, int level) {
    const auto points = decode(text);
    if (level == 1) {
      indent += 1;
      allowance += 1;
    }
    const int max_width = kWidth - indent;
    int max_width_line = max_width;
    std::vector<std::string> chunks;
    std::string rep;
    const auto lines = split_lines(points);
    for (size_t i = 0; i < lines.size(); ++i) {
      const auto [begin, end] = lines[i];
      rep = repr_points(points, begin, end);
      if (i + 1 == lines.size()) max_width_line -= allowance;
      if (static_cast<int>(length_of(rep)) <= max_width_line) {
        chunks.push_back(rep);
        continue;
      }
      const auto parts = split_words(points, begin, end);
      int max_width_part = max_width;
      size_t current_begin = begin;
      size_t current_end = begin;
      for (size_t j = 0; j < parts.size(); ++j) {
        if (j + 1 == parts.size() && i + 1 == lines.size()) max_width_part -= allowance;
        const size_t candidate_end = parts[j].second;
        if (static_cast<int>(length_of(repr_points(points, current_begin, candidate_end))) >
            max_width_part) {
          if (current_end > current_begin)
            chunks.push_back(repr_points(points, current_begin, current_end));
          current_begin = parts[j].first;
        }
        current_end = candidate_end;
      }
      if (current_end > current_begin)
        chunks.push_back(repr_points(points, current_begin, current_end));
    }
    if (chunks.size() == 1) {
      out += rep;
      return;
    }
    if (level == 1) out += '(';
    for (size_t i = 0; i < chunks.size(); ++i) {
      if (i > 0) out += "\n" + std::string(static_cast<size_t>(indent), ' ');
      out += chunks[i];
    }
    if (level == 1) out += ')';
  }

  using Span = std::pair<size_t, size_t>;

  // Lines with their line ends kept, as str.splitlines(True) cuts them.
  static std::vector<Span> split_lines(const std::vector<char32_t>& points) {
    std::vector<Span> lines;
    size_t start = 0;
    for (size_t i = 0; i < points.size(); ++i) {
      const char32_t p = points[i];
      const bool line_end = p == U'\n' || p == U'\r' || p == 0x0B || p == 0x0C ||
                            (p >= 0x1C && p <= 0x1E) || p == 0x85 || p == 0x2028 || p == 0x2029;
      if (!line_end) continue;
      if (p == U'\r' && i + 1 < points.size() && points[i + 1] == U'\n') ++i;
      lines.emplace_back(start, i + 1);
      start = i + 1;
    }
    if (start < points.size()) lines.emplace_back(start, points.size());
    return lines;
  }

  // The runs re.findall(r'\S*\s*', line) finds, without its final empty match.
  static std::vector<Span> split_words(const std::vector<char32_t>& points, size_t begin,
                                       size_t end) {
    std::vector<Span> parts;
    size_t i = begin;
    while (i < end) {
      const size_t start = i;
      while (i < end && !is_space(points[i])) ++i;
      while (i < end && is_space(points[i])) ++i;
      parts.emplace_back(start, i);
    }
    return parts;
  }
};

}  // namespace

std::string python_repr(const nlohmann::json& value) {
  switch (value.type()) {
    case nlohmann::json::value_t::null:
      return "None";
    case nlohmann::json::value_t::boolean:
      return value.get<bool>() ? "True" : "False";
    case nlohmann::json::value_t::number_integer:
      return std::to_string(value.get<std::int64_t>());
    case nlohmann::json::value_t::number_unsigned:
      return std::to_string(value.get<std::uint64_t>());
    case nlohmann::json::value_t::number_float:
      return repr_float(value.get<double>());
    case nlohmann::json::value_t::string:
      return python_text_repr(value.get_ref<const std::string&>());
    case nlohmann::json::value_t::array: {
      std::string out = "[";
      for (size_t i = 0; i < value.size(); ++i) out += (i > 0 ? ", " : "") + python_repr(value[i]);
      return out + "]";
    }
    case nlohmann::json::value_t::object: {
      std::string out = "{";
      bool first = true;
      for (const auto& [key, entry] : value.items()) {
        out += (first ? "" : ", ") + python_text_repr(key) + ": " + python_repr(entry);
        first = false;
      }
      return out + "}";
    }
    default:
      return value.dump();
  }
}

std::string python_pformat(const nlohmann::json& value) {
  Printer printer;
  printer.format(value, 0, 0, 0);
  return printer.out;
}

}  // namespace platform::pyrepr
