#include "platform/text/lower_case.hpp"

#include <cstdint>

#include "platform/text/ascii_case.hpp"
#include "platform/text/utf8.hpp"

namespace platform::text {
namespace {

#include "platform/text/internal/lower_case_table.inc"

constexpr char32_t kBlockMask = (char32_t{1} << kLowerCaseBlockShift) - 1;

}  // namespace

char32_t lower_case(char32_t code_point) {
  if (code_point > 0x10FFFF) return code_point;
  std::int32_t delta = kLowerCaseStage2[kLowerCaseStage1[code_point >> kLowerCaseBlockShift]]
                                       [code_point & kBlockMask];
  return static_cast<char32_t>(static_cast<std::int32_t>(code_point) + delta);
}

std::string lower_case(std::string_view text) {
  std::string out(text);
  std::size_t i = 0;
  for (; i < out.size() && static_cast<unsigned char>(out[i]) < 0x80; ++i) {
    out[i] = ascii_lower(out[i]);
  }
  if (i == out.size()) return out;
  // A mapping may change the length of a character's encoding (U+0130 İ to i, U+023A Ⱥ to ⱥ).
  out.resize(i);
  while (i < text.size()) {
    Utf8Char c = decode_utf8_char(text, i);
    if (c.code_point == kInvalidUtf8) {
      out.push_back(text[i]);
    } else {
      append_utf8(lower_case(c.code_point), out);
    }
    i += c.length;
  }
  return out;
}

}  // namespace platform::text
