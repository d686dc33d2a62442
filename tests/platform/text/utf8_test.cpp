// Decoding well-formed and ill-formed sequences, and encoding back.
#include "platform/text/utf8.hpp"

#include <gtest/gtest.h>

#include <string>

namespace {

using platform::text::append_utf8;
using platform::text::decode_utf8_char;
using platform::text::decode_utf8_char_replacing;
using platform::text::kInvalidUtf8;

TEST(Utf8, DecodesEachLengthAndEncodesBack) {
  for (char32_t code_point :
       {U'A', U'\u00DC', U'\u0800', U'\uFFFD', U'\U00010000', U'\U0010FFFF'}) {
    std::string text;
    append_utf8(code_point, text);
    auto c = decode_utf8_char(text, 0);
    EXPECT_EQ(c.code_point, code_point);
    EXPECT_EQ(c.length, text.size());
  }
  auto second = decode_utf8_char("aЖb", 1);
  EXPECT_EQ(second.code_point, U'Ж');
  EXPECT_EQ(second.length, 2u);
}

TEST(Utf8, IllFormedSequencesTakeOneByte) {
  for (std::string text :
       {"\x80", "\xC1\xBF", "\xC3", "\xC3(", "\xE0\x9F\xBF", "\xED\xA0\x80", "\xE2\x82",
        "\xF0\x8F\xBF\xBF", "\xF4\x90\x80\x80", "\xF5\x80\x80\x80", "\xFF"}) {
    auto c = decode_utf8_char(text, 0);
    EXPECT_EQ(c.code_point, kInvalidUtf8) << text;
    EXPECT_EQ(c.length, 1u);
  }
}

// Each ill-formed maximal subpart is one U+FFFD, as replacing decoders take it; the byte that
// ends a subpart starts the next character.
TEST(Utf8Replacing, TakesTheMaximalSubpartOfIllFormedBytes) {
  const struct {
    std::string text;
    std::uint8_t length;
  } cases[] = {
      {"\xC3"
       "A",
       1},
      {"\xE2\x82"
       "A",
       2},
      {"\xF0\x9F\x98", 3},
      {"\xF4\x8F\xBF", 3},
      {"\xE0\x9F\xBF", 1},
      {"\xED\xA0\x80", 1},
      {"\xF4\x90\x80\x80", 1},
      {"\xC1\xBF", 1},
      {"\x80", 1},
      {"\xFF", 1},
  };
  for (const auto& [text, length] : cases) {
    const auto c = decode_utf8_char_replacing(text, 0);
    EXPECT_EQ(c.code_point, U'\uFFFD') << text;
    EXPECT_EQ(c.length, length) << text;
    EXPECT_EQ(decode_utf8_char(text, 0).length, 1u) << text;  // the strict form takes one byte
  }
  const auto well_formed = decode_utf8_char_replacing("\xF0\x9F\x98\x80", 0);
  EXPECT_EQ(well_formed.code_point, U'\U0001F600');
  EXPECT_EQ(well_formed.length, 4u);
}

}  // namespace
