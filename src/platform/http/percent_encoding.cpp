#include "platform/http/percent_encoding.hpp"

namespace platform::http {
namespace {

bool is_unreserved(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '_' || c == '.' || c == '~';
}

std::string encode(std::string_view text, bool keep_slash) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    if (is_unreserved(c) || (keep_slash && c == '/')) {
      out += c;
    } else {
      const auto byte = static_cast<unsigned char>(c);
      out += '%';
      out += kDigits[byte >> 4];
      out += kDigits[byte & 15];
    }
  }
  return out;
}

}  // namespace

std::string percent_encode(std::string_view text) { return encode(text, false); }

std::string percent_encode_path(std::string_view path) { return encode(path, true); }

}  // namespace platform::http
