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
// well-formed byte sequences.
Utf8Char decode_utf8_char(std::string_view text, std::size_t pos);

// Appends the UTF-8 form of `code_point` (at most U+10FFFF, no surrogate).
void append_utf8(char32_t code_point, std::string& out);

}  // namespace platform::text
