#include "platform/tiktoken/internal/char_class.hpp"

#include <array>

namespace platform::tiktoken::internal {
namespace {

#include "platform/tiktoken/internal/char_class_table.inc"

constexpr std::array<CharClass, 128> make_ascii_classes() {
  std::array<CharClass, 128> classes{};
  for (char32_t c = 0; c < 128; ++c) {
    classes[c] = static_cast<CharClass>(
        kCharClassStage2[kCharClassStage1[c >> kCharClassBlockShift]][c & 0xFF]);
  }
  return classes;
}
constexpr std::array<CharClass, 128> kAsciiClasses = make_ascii_classes();

bool is_continuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

}  // namespace

CharClass class_of(char32_t code_point) {
  if (code_point > 0x10FFFF) return CharClass::kOther;
  return static_cast<CharClass>(
      kCharClassStage2[kCharClassStage1[code_point >> kCharClassBlockShift]][code_point & 0xFF]);
}

Char decode_char(std::string_view text, std::size_t pos) {
  if (pos >= text.size()) return {CharClass::kOther, 0};
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data()) + pos;
  const std::size_t left = text.size() - pos;
  const unsigned char lead = bytes[0];
  if (lead < 0x80) return {kAsciiClasses[lead], 1};
  constexpr Char kInvalid{CharClass::kOther, 1};
  // Overlong forms, surrogates and values above U+10FFFF are rejected by the ranges of the
  // second byte, as in the Unicode standard's table of well-formed sequences.
  if (lead >= 0xC2 && lead <= 0xDF) {
    if (left < 2 || !is_continuation(bytes[1])) return kInvalid;
    return {class_of(((lead & 0x1Fu) << 6) | (bytes[1] & 0x3Fu)), 2};
  }
  if (lead >= 0xE0 && lead <= 0xEF) {
    if (left < 3 || !is_continuation(bytes[1]) || !is_continuation(bytes[2])) return kInvalid;
    if ((lead == 0xE0 && bytes[1] < 0xA0) || (lead == 0xED && bytes[1] > 0x9F)) return kInvalid;
    return {class_of(((lead & 0x0Fu) << 12) | ((bytes[1] & 0x3Fu) << 6) | (bytes[2] & 0x3Fu)), 3};
  }
  if (lead >= 0xF0 && lead <= 0xF4) {
    if (left < 4 || !is_continuation(bytes[1]) || !is_continuation(bytes[2]) ||
        !is_continuation(bytes[3])) {
      return kInvalid;
    }
    if ((lead == 0xF0 && bytes[1] < 0x90) || (lead == 0xF4 && bytes[1] > 0x8F)) return kInvalid;
    return {class_of(((lead & 0x07u) << 18) | ((bytes[1] & 0x3Fu) << 12) |
                     ((bytes[2] & 0x3Fu) << 6) | (bytes[3] & 0x3Fu)),
            4};
  }
  return kInvalid;
}

}  // namespace platform::tiktoken::internal
