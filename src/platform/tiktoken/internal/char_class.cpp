#include "platform/tiktoken/internal/char_class.hpp"

#include <array>

#include "platform/text/utf8.hpp"

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

}  // namespace

CharClass class_of(char32_t code_point) {
  if (code_point > 0x10FFFF) return CharClass::kOther;
  return static_cast<CharClass>(
      kCharClassStage2[kCharClassStage1[code_point >> kCharClassBlockShift]][code_point & 0xFF]);
}

Char decode_char(std::string_view text, std::size_t pos) {
  if (pos >= text.size()) return {CharClass::kOther, 0};
  const auto lead = static_cast<unsigned char>(text[pos]);
  if (lead < 0x80) return {kAsciiClasses[lead], 1};
  const platform::text::Utf8Char c = platform::text::decode_utf8_char(text, pos);
  return {c.code_point == platform::text::kInvalidUtf8 ? CharClass::kOther : class_of(c.code_point),
          c.length};
}

}  // namespace platform::tiktoken::internal
