#include "platform/yaml/internal/utf8.hpp"

#include "platform/text/utf8.hpp"

namespace platform::yaml::internal {

bool is_ascii(std::string_view text) {
  for (const char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

std::optional<std::u32string> decode_utf8(std::string_view text) {
  std::u32string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const platform::text::Utf8Char c = platform::text::decode_utf8_char(text, i);
    if (c.code_point == platform::text::kInvalidUtf8) return std::nullopt;
    out.push_back(c.code_point);
    i += c.length;
  }
  return out;
}

}  // namespace platform::yaml::internal
