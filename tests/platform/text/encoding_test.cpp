// Base64 against RFC 4648's vectors, and ASCII case folding that leaves UTF-8 bytes alone.
#include <gtest/gtest.h>

#include <string>

#include "platform/text/ascii_case.hpp"
#include "platform/text/base64.hpp"

namespace {

using namespace platform::text;

TEST(Base64, PadsEveryRemainderAndUrlSafeDropsPadding) {
  const std::pair<const char*, const char*> vectors[] = {{"", ""},
                                                         {"f", "Zg=="},
                                                         {"fo", "Zm8="},
                                                         {"foo", "Zm9v"},
                                                         {"foob", "Zm9vYg=="},
                                                         {"fooba", "Zm9vYmE="},
                                                         {"foobar", "Zm9vYmFy"}};
  for (const auto& [plain, encoded] : vectors) EXPECT_EQ(base64(plain), encoded) << plain;
  EXPECT_EQ(base64url("foob"), "Zm9vYg");
  // The two alphabets differ in the last two digits only.
  EXPECT_EQ(base64("\xfb\xff\xbf"), "+/+/");
  EXPECT_EQ(base64url("\xfb\xff\xbf"), "-_-_");
  EXPECT_EQ(base64(std::string("\0\0", 2)), "AAA=");
}

TEST(AsciiCase, FoldsOnlyAsciiLetters) {
  EXPECT_EQ(to_ascii_upper("put 'file://x' @~"), "PUT 'FILE://X' @~");
  EXPECT_EQ(to_ascii_lower("Content-TYPE"), "content-type");
  // UTF-8 bytes of "é" and "É" are not letters here: they pass through and never compare equal.
  EXPECT_EQ(to_ascii_upper("caf\xc3\xa9"), "CAF\xc3\xa9");
  EXPECT_TRUE(equals_ignore_case("Retry-After", "retry-after"));
  EXPECT_FALSE(equals_ignore_case("\xc3\xa9", "\xc3\x89"));
  EXPECT_FALSE(equals_ignore_case("select", "selec"));
  // '@' and '`' sit next to the letters: folding by bit tricks would pair them with 'A' and 'a'.
  EXPECT_FALSE(equals_ignore_case("@", "`"));
}

}  // namespace
