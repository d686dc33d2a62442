// One UTF-8 character at a time, for code that maps characters and must keep every other byte.
//
//   Utf8Char c = decode_utf8_char("Ärger", 0);  // c.code_point == U'Ä', c.length == 2
//   std::string out;
//   append_utf8(c.code_point, out);             // out == "Ä"
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace platform::text {

struct Utf8Char {
  char32_t code_point;  // kInvalidUtf8 when the bytes at the position are not well-formed UTF-8
  std::uint8_t length;  // bytes taken: the sequence, or 1 for a byte that starts no valid one
};

inline constexpr char32_t kInvalidUtf8 = 0xFFFFFFFF;

// The character at byte offset `pos` (< text.size()). Overlong forms, surrogates, values above
// U+10FFFF and truncated sequences are invalid, as in the Unicode standard's table of
// well-formed byte sequences. Inline: tokenizers call it for every character.
inline Utf8Char decode_utf8_char(std::string_view text, std::size_t pos) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data()) + pos;
  const std::size_t left = text.size() - pos;
  const unsigned char lead = bytes[0];
  if (lead < 0x80) return {lead, 1};
  constexpr Utf8Char kInvalid{kInvalidUtf8, 1};
  auto continuation = [](unsigned char byte) { return (byte & 0xC0) == 0x80; };
  // The ranges of the second byte rule out overlong forms, surrogates and values above U+10FFFF.
  if (lead >= 0xC2 && lead <= 0xDF) {
    if (left < 2 || !continuation(bytes[1])) return kInvalid;
    return {((lead & 0x1Fu) << 6) | (bytes[1] & 0x3Fu), 2};
  }
  if (lead >= 0xE0 && lead <= 0xEF) {
    if (left < 3 || !continuation(bytes[1]) || !continuation(bytes[2])) return kInvalid;
    if ((lead == 0xE0 && bytes[1] < 0xA0) || (lead == 0xED && bytes[1] > 0x9F)) return kInvalid;
    return {((lead & 0x0Fu) << 12) | ((bytes[1] & 0x3Fu) << 6) | (bytes[2] & 0x3Fu), 3};
  }
  if (lead >= 0xF0 && lead <= 0xF4) {
    if (left < 4 || !continuation(bytes[1]) || !continuation(bytes[2]) || !continuation(bytes[3])) {
      return kInvalid;
    }
    if ((lead == 0xF0 && bytes[1] < 0x90) || (lead == 0xF4 && bytes[1] > 0x8F)) return kInvalid;
    return {((lead & 0x07u) << 18) | ((bytes[1] & 0x3Fu) << 12) | ((bytes[2] & 0x3Fu) << 6) |
                (bytes[3] & 0x3Fu),
            4};
  }
  return kInvalid;
}

// Appends the UTF-8 form of `code_point` (at most U+10FFFF, no surrogate).
void append_utf8(char32_t code_point, std::string& out);

}  // namespace platform::text
