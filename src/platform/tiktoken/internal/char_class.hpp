// The pre-tokeniser's view of a character: which of the o200k_base pattern's classes it is in.
//
//   Char c = decode_char("Ärger", 0);  // c.cls == CharClass::kUpper, c.length == 2
//
// Classes follow Unicode 16.0 general categories (the reference encoder's data) and the
// White_Space property. A byte that does not start a valid UTF-8 sequence decodes as one kOther
// character of length 1, so every input splits and encodes losslessly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace platform::tiktoken::internal {

enum class CharClass : std::uint8_t {
  kOther,       // anything below, including unassigned code points and invalid bytes
  kUpper,       // Lu, Lt
  kLower,       // Ll
  kLetterBoth,  // Lm, Lo: on both sides of the pattern's upper/lower split
  kMark,        // Mn, Mc, Me: like kLetterBoth, but not a letter
  kNumber,      // Nd, Nl, No
  kSpace,       // White_Space except CR and LF
  kNewline,     // CR, LF
};

struct Char {
  CharClass cls;
  std::uint8_t length;  // bytes; 0 only at the end of the text
};

// The class of a code point (0 .. 0x10FFFF).
CharClass class_of(char32_t code_point);

// The character at byte offset `pos` of `text`; {kOther, 0} at the end.
Char decode_char(std::string_view text, std::size_t pos);

// Predicates in the pattern's own terms.
inline bool is_upper_side(CharClass c) {  // [\p{Lu}\p{Lt}\p{Lm}\p{Lo}\p{M}]
  return c == CharClass::kUpper || c == CharClass::kLetterBoth || c == CharClass::kMark;
}
inline bool is_lower_side(CharClass c) {  // [\p{Ll}\p{Lm}\p{Lo}\p{M}]
  return c == CharClass::kLower || c == CharClass::kLetterBoth || c == CharClass::kMark;
}
inline bool is_space(CharClass c) {  // \s
  return c == CharClass::kSpace || c == CharClass::kNewline;
}
inline bool is_symbol(CharClass c) {  // [^\s\p{L}\p{N}]
  return c == CharClass::kOther || c == CharClass::kMark;
}
inline bool is_letter_prefix(CharClass c) {  // [^\r\n\p{L}\p{N}]
  return is_symbol(c) || c == CharClass::kSpace;
}

}  // namespace platform::tiktoken::internal
