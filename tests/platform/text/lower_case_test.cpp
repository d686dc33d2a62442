// Simple case mapping across scripts, mappings that change the encoded length, and bytes that
// are not UTF-8.
#include "platform/text/lower_case.hpp"

#include <cstdint>
#include <string>

#include "platform/text/utf8.hpp"

#include <gtest/gtest.h>

namespace {

using platform::text::lower_case;

TEST(LowerCase, AsciiAndLatin) {
  EXPECT_EQ(lower_case(""), "");
  EXPECT_EQ(lower_case("Orders_2024$X"), "orders_2024$x");
  EXPECT_EQ(lower_case("KUNDEN_ÜBERSICHT"), "kunden_übersicht");
  EXPECT_EQ(lower_case("ÀÉÎÕØÞ ÇÑ"), "àéîõøþ çñ");
  EXPECT_EQ(lower_case("ŁÓDŹ ŠKODA ĞÜŞ"), "łódź škoda ğüş");
  EXPECT_EQ(lower_case("ǅ ǈ"), "ǆ ǉ");  // title-case digraphs
  EXPECT_EQ(lower_case("straße"), "straße");
}

TEST(LowerCase, GreekCyrillicAndOtherScripts) {
  EXPECT_EQ(lower_case("ΤΙΜΟΛΟΓΙΑ_ΠΕΛΑΤΩΝ"), "τιμολογια_πελατων");
  EXPECT_EQ(lower_case("ΆΈΉΊΌΎΏ ΪΫ"), "άέήίόύώ ϊϋ");
  EXPECT_EQ(lower_case("ΣΑΣ"), "σασ");  // one code point to one: no final sigma
  EXPECT_EQ(lower_case("ЗАКАЗЫ_КЛИЕНТОВ ЁЖ ЇЄҐ"), "заказы_клиентов ёж їєґ");
  EXPECT_EQ(lower_case("ՀԱՅԵՐԵՆ"), "հայերեն");                            // Armenian
  EXPECT_EQ(lower_case("\u13A0\u13F5"), "\uAB70\u13FD");                  // Cherokee, far apart
  EXPECT_EQ(lower_case("\U00010400\U0001E900"), "\U00010428\U0001E922");  // Deseret, Adlam
  EXPECT_EQ(lower_case("注文 テーブル 123"), "注文 テーブル 123");
}

TEST(LowerCase, MappingsThatChangeTheEncodedLength) {
  EXPECT_EQ(lower_case("\u0130X"), "ix");                 // İ: two bytes to one
  EXPECT_EQ(lower_case("\u212A\u2126"), "k\u03C9");       // Kelvin and Ohm signs
  EXPECT_EQ(lower_case("\u023A\u023E"), "\u2C65\u2C66");  // two bytes to three
  EXPECT_EQ(lower_case("\u1E9E"), "\u00DF");              // capital sharp s: three to two
}

TEST(LowerCase, KeepsBytesThatAreNotUtf8) {
  EXPECT_EQ(lower_case("A\xFF"
                       "B"),
            "a\xFF"
            "b");
  EXPECT_EQ(lower_case("Ä\xC3"), "ä\xC3");  // truncated at the end
  EXPECT_EQ(lower_case("\xC3"
                       "A"),
            "\xC3"
            "a");                                           // lead byte without continuation
  EXPECT_EQ(lower_case("\xC0\x81Z"), "\xC0\x81z");          // overlong form
  EXPECT_EQ(lower_case("\xED\xA0\x80Z"), "\xED\xA0\x80z");  // surrogate
  EXPECT_EQ(lower_case("\xF4\x90\x80\x80Z"), "\xF4\x90\x80\x80z");  // above U+10FFFF
  EXPECT_EQ(lower_case("\x80\x80Ü"), "\x80\x80ü");                  // stray continuation bytes
}

// Every code point goes through decoding, the table and encoding the same way as on its own.
TEST(LowerCase, TextAgreesWithCodePointsEverywhere) {
  std::string text, expected;
  for (char32_t code_point = 0; code_point <= 0x10FFFF; ++code_point) {
    if (code_point >= 0xD800 && code_point <= 0xDFFF) continue;
    text.clear();
    expected.clear();
    platform::text::append_utf8(code_point, text);
    platform::text::append_utf8(lower_case(code_point), expected);
    ASSERT_EQ(lower_case(text), expected) << std::hex << static_cast<std::uint32_t>(code_point);
    ASSERT_EQ(lower_case(lower_case(code_point)), lower_case(code_point));
  }
}

TEST(LowerCase, CodePoints) {
  EXPECT_EQ(lower_case(U'Ü'), U'ü');
  EXPECT_EQ(lower_case(U'ü'), U'ü');
  EXPECT_EQ(lower_case(char32_t{0x10FFFF}), char32_t{0x10FFFF});
  EXPECT_EQ(lower_case(char32_t{0x110000}), char32_t{0x110000});
}

}  // namespace
