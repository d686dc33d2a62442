#include "platform/json/json_writer.hpp"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <string_view>

#include <fmt/format.h>

#include "platform/text/utf8.hpp"

namespace platform::json {
namespace {

void write_string(std::string_view text, std::string& out) {
  out += '"';
  for (std::size_t at = 0; at < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[at]);
    if (c >= 0x80) {
      // Bytes that are not UTF-8 become U+FFFD, which keeps the text valid JSON.
      const platform::text::Utf8Char character =
          platform::text::decode_utf8_char_replacing(text, at);
      platform::text::append_utf8(character.code_point, out);
      at += character.length;
      continue;
    }
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\b':
        out += "\\b";
        break;
      case '\f':
        out += "\\f";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20) {
          out += fmt::format("\\u{:04x}", c);
        } else {
          out += static_cast<char>(c);
        }
    }
    ++at;
  }
  out += '"';
}

class Writer {
 public:
  explicit Writer(std::optional<int> indent) : indent_(indent) {}

  void write(const Value& value, int depth) {
    std::visit([&](const auto& held) { write_held(held, depth); }, value.data());
  }

  std::string take() { return std::move(out_); }

 private:
  void write_held(std::monostate, int) { out_ += "null"; }
  void write_held(bool b, int) { out_ += b ? "true" : "false"; }
  void write_held(std::int64_t i, int) { out_ += fmt::format("{}", i); }
  void write_held(const BigInt& i, int) { out_ += i.digits; }
  void write_held(double d, int) { out_ += std::isfinite(d) ? shortest_decimal(d) : "null"; }
  void write_held(const std::string& s, int) { write_string(s, out_); }
  void write_held(const Date& d, int) { write_string(iso_text(d), out_); }
  void write_held(const DateTime& d, int) { write_string(iso_text(d), out_); }

  void write_held(const Value::List& list, int depth) {
    write_container('[', ']', list.size(), depth,
                    [&](std::size_t i) { write(list[i], depth + 1); });
  }

  void write_held(const Value::Map& map, int depth) {
    write_container('{', '}', map.size(), depth, [&](std::size_t i) {
      write_string(map[i].first, out_);
      out_ += indent_ ? ": " : ":";
      write(map[i].second, depth + 1);
    });
  }

  template <typename WriteElement>
  void write_container(char open, char close, std::size_t size, int depth,
                       const WriteElement& write_element) {
    out_ += open;
    for (std::size_t i = 0; i < size; ++i) {
      if (i > 0) out_ += ',';
      new_line(depth + 1);
      write_element(i);
    }
    if (size > 0) new_line(depth);
    out_ += close;
  }

  void new_line(int depth) {
    if (!indent_) return;
    out_ += '\n';
    out_.append(static_cast<std::size_t>(depth * *indent_), ' ');
  }

  std::optional<int> indent_;
  std::string out_;
};

}  // namespace

std::string write(const Value& value, std::optional<int> indent) {
  if (indent && *indent < 0) indent = 0;
  Writer writer(indent);
  writer.write(value, 0);
  return writer.take();
}

std::string iso_text(const Date& date) { return date.iso(); }

std::string iso_text(const DateTime& datetime) {
  if (datetime.utc_offset_minutes == 0) {
    DateTime naive = datetime;
    naive.utc_offset_minutes.reset();
    return naive.iso() + "Z";
  }
  return datetime.iso();
}

std::string shortest_decimal(double number) {
  char buffer[64];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, number, std::chars_format::scientific);
  const std::string_view scientific(buffer, static_cast<std::size_t>(result.ptr - buffer));
  // "-d.ddde-XX": split into sign, significant digits and the exponent of the first digit.
  std::string text = scientific.front() == '-' ? "-" : "";
  const std::size_t e_at = scientific.find('e');
  std::string digits;
  for (char c : scientific.substr(0, e_at)) {
    if (c >= '0' && c <= '9') digits += c;
  }
  int exponent = 0;
  const std::string_view exponent_text = scientific.substr(e_at + 1);
  std::from_chars(exponent_text.data() + (exponent_text.front() == '+' ? 1 : 0),
                  exponent_text.data() + exponent_text.size(), exponent);
  const int length = static_cast<int>(digits.size());
  const int point = exponent + 1;  // digits before the decimal point
  if (point >= length && point <= 16) {
    text += digits + std::string(static_cast<std::size_t>(point - length), '0') + ".0";
  } else if (point > 0 && point <= 16) {
    text.append(digits, 0, static_cast<std::size_t>(point));
    text += '.';
    text.append(digits, static_cast<std::size_t>(point));
  } else if (point > -5 && point <= 0) {
    text += "0." + std::string(static_cast<std::size_t>(-point), '0') + digits;
  } else {
    text += digits.front();
    if (length > 1) {
      text += '.';
      text.append(digits, 1);
    }
    text += fmt::format("e{}", exponent);
  }
  return text;
}

}  // namespace platform::json
