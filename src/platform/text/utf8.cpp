#include "platform/text/utf8.hpp"

namespace platform::text {
namespace {

bool is_continuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

}  // namespace

Utf8Char decode_utf8_char(std::string_view text, std::size_t pos) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data()) + pos;
  const std::size_t left = text.size() - pos;
  const unsigned char lead = bytes[0];
  if (lead < 0x80) return {lead, 1};
  constexpr Utf8Char kInvalid{kInvalidUtf8, 1};
  // The ranges of the second byte rule out overlong forms, surrogates and values above U+10FFFF.
  if (lead >= 0xC2 && lead <= 0xDF) {
    if (left < 2 || !is_continuation(bytes[1])) return kInvalid;
    return {((lead & 0x1Fu) << 6) | (bytes[1] & 0x3Fu), 2};
  }
  if (lead >= 0xE0 && lead <= 0xEF) {
    if (left < 3 || !is_continuation(bytes[1]) || !is_continuation(bytes[2])) return kInvalid;
    if ((lead == 0xE0 && bytes[1] < 0xA0) || (lead == 0xED && bytes[1] > 0x9F)) return kInvalid;
    return {((lead & 0x0Fu) << 12) | ((bytes[1] & 0x3Fu) << 6) | (bytes[2] & 0x3Fu), 3};
  }
  if (lead >= 0xF0 && lead <= 0xF4) {
    if (left < 4 || !is_continuation(bytes[1]) || !is_continuation(bytes[2]) ||
        !is_continuation(bytes[3])) {
      return kInvalid;
    }
    if ((lead == 0xF0 && bytes[1] < 0x90) || (lead == 0xF4 && bytes[1] > 0x8F)) return kInvalid;
    return {((lead & 0x07u) << 18) | ((bytes[1] & 0x3Fu) << 12) | ((bytes[2] & 0x3Fu) << 6) |
                (bytes[3] & 0x3Fu),
            4};
  }
  return kInvalid;
}

void append_utf8(char32_t code_point, std::string& out) {
  if (code_point < 0x80) {
    out.push_back(static_cast<char>(code_point));
  } else if (code_point < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (code_point >> 6)));
    out.push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
  } else if (code_point < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (code_point >> 12)));
    out.push_back(static_cast<char>(0x80 | ((code_point >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (code_point >> 18)));
    out.push_back(static_cast<char>(0x80 | ((code_point >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((code_point >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
  }
}

}  // namespace platform::text
