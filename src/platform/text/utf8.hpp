// One UTF-8 character at a time, for code that maps characters and must keep every other byte,
// and for text forms that show ill-formed bytes the way replacing decoders do.
//
//   Utf8Char c = decode_utf8_char("Ärger", 0);  // c.code_point == U'Ä', c.length == 2
//   std::string out;
//   append_utf8(c.code_point, out);             // out == "Ä"
//   decode_utf8_char_replacing("\xC3" "A", 0);  // {U+FFFD, 1}, then 'A' at offset 1
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
inline constexpr char32_t kReplacementCharacter = 0xFFFD;

namespace internal {

// The bytes a sequence led by `lead` takes (2 to 4, 0 for a byte that leads none) and the range
// of its second byte, which rules out overlong forms, surrogates and values above U+10FFFF (the
// Unicode standard's table of well-formed byte sequences).
struct Utf8Lead {
  std::uint8_t length;
  unsigned char second_low;
  unsigned char second_high;
};

constexpr Utf8Lead utf8_lead(unsigned char lead) {
  if (lead >= 0xC2 && lead <= 0xDF) return {2, 0x80, 0xBF};
  if (lead == 0xE0) return {3, 0xA0, 0xBF};
  if (lead == 0xED) return {3, 0x80, 0x9F};
  if (lead >= 0xE1 && lead <= 0xEF) return {3, 0x80, 0xBF};
  if (lead == 0xF0) return {4, 0x90, 0xBF};
  if (lead >= 0xF1 && lead <= 0xF3) return {4, 0x80, 0xBF};
  if (lead == 0xF4) return {4, 0x80, 0x8F};
  return {0, 0, 0};
}

// How many bytes from `bytes[0]` (a lead byte, `left` bytes available) start a well-formed
// sequence: the whole length when they form one, fewer for a sequence cut short.
inline std::size_t utf8_well_formed_prefix(const unsigned char* bytes, std::size_t left,
                                           Utf8Lead lead) {
  std::size_t taken = 1;
  while (taken < lead.length && taken < left) {
    const unsigned char low = taken == 1 ? lead.second_low : 0x80;
    const unsigned char high = taken == 1 ? lead.second_high : 0xBF;
    if (bytes[taken] < low || bytes[taken] > high) break;
    ++taken;
  }
  return taken;
}

// The character at `pos`, or kInvalidUtf8 with the length of the well-formed prefix there.
inline Utf8Char decode_with_prefix(std::string_view text, std::size_t pos) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data()) + pos;
  if (bytes[0] < 0x80) return {bytes[0], 1};
  const Utf8Lead lead = utf8_lead(bytes[0]);
  if (lead.length == 0) return {kInvalidUtf8, 1};
  const std::size_t prefix = utf8_well_formed_prefix(bytes, text.size() - pos, lead);
  if (prefix < lead.length) return {kInvalidUtf8, static_cast<std::uint8_t>(prefix)};
  char32_t code_point = bytes[0] & (0x7Fu >> lead.length);
  for (std::size_t i = 1; i < lead.length; ++i) code_point = (code_point << 6) | (bytes[i] & 0x3Fu);
  return {code_point, lead.length};
}

}  // namespace internal

// The character at byte offset `pos` (< text.size()). Overlong forms, surrogates, values above
// U+10FFFF and truncated sequences are invalid, and then one byte is taken. Inline: tokenizers
// call it for every character.
inline Utf8Char decode_utf8_char(std::string_view text, std::size_t pos) {
  const Utf8Char c = internal::decode_with_prefix(text, pos);
  return c.code_point == kInvalidUtf8 ? Utf8Char{kInvalidUtf8, 1} : c;
}

// The same, except that ill-formed bytes give U+FFFD for their maximal subpart: the longest start
// of a well-formed sequence, at least one byte. This is how replacing decoders read such bytes
// (Python's errors="replace" among them): "\xE2\x82" "A" gives U+FFFD then 'A', "\xED\xA0\x80"
// gives three U+FFFD.
inline Utf8Char decode_utf8_char_replacing(std::string_view text, std::size_t pos) {
  const Utf8Char c = internal::decode_with_prefix(text, pos);
  return c.code_point == kInvalidUtf8 ? Utf8Char{kReplacementCharacter, c.length} : c;
}

// Appends the UTF-8 form of `code_point` (at most U+10FFFF, no surrogate).
void append_utf8(char32_t code_point, std::string& out);

}  // namespace platform::text
