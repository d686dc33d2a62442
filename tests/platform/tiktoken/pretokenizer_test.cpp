#include "platform/tiktoken/internal/pretokenizer.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/tiktoken/internal/char_class.hpp"

namespace platform::tiktoken::internal {
namespace {

std::vector<std::string> pieces(std::string_view text) {
  std::vector<std::string> out;
  for (std::size_t begin = 0; begin < text.size();) {
    const std::size_t end = next_piece_end(text, begin);
    out.emplace_back(text.substr(begin, end - begin));
    begin = end;
  }
  return out;
}

struct SplitCase {
  const char* text;
  std::vector<std::string> expected;
};

// Each case pins one way the pattern's alternatives and backtracking decide a boundary.
const SplitCase kSplitCases[] = {
    {"Hello world", {"Hello", " world"}},
    {"HTTPServer says", {"HTTPServer", " says"}},  // upper run, then lower run
    {"ABC", {"ABC"}},                              // second alternative
    {"\u4E2DA", {"\u4E2D", "A"}},                  // Lo gives back to end the first word
    {"\u0301A", {"\u0301", "A"}},                  // a mark starts a word of its own
    {"don't DON'T we'RE", {"don't", " DON'T", " we'RE"}},
    {"it'\u017F it'Ss", {"it'\u017F", " it'S", "s"}},  // long s folds to s
    {"123456 7", {"123", "456", " ", "7"}},
    {"x  !", {"x", " ", " !"}},
    {"hello!!\n/x", {"hello", "!!\n/", "x"}},
    {"a\r\n\r\nb", {"a", "\r\n\r\n", "b"}},
    {"x  \n  y", {"x", "  \n", " ", " y"}},  // ends after the last line break
    {"\t\tx", {"\t", "\tx"}},
    {"abc   ", {"abc", "   "}},          // trailing run kept whole
    {"!\u0085!", {"!", "\u0085", "!"}},  // U+0085 is white space
    {"!\uFEFF!", {"!\uFEFF!"}},          // U+FEFF and U+180E are not
    {"!\u180E!", {"!\u180E!"}},
    {"a\xFF!", {"a", "\xFF!"}},  // an invalid byte is a symbol
    {"x'", {"x", "'"}},
};

TEST(Pretokenizer, SplitsLikeThePattern) {
  for (const SplitCase& c : kSplitCases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(pieces(c.text), c.expected);
  }
}

TEST(Pretokenizer, AlwaysAdvancesAndCoversTheText) {
  // Every byte value after every byte value, including cut-off sequences at the end.
  for (int first = 0; first < 256; ++first) {
    for (int second = 0; second < 256; ++second) {
      const std::string text{static_cast<char>(first), static_cast<char>(second)};
      std::size_t begin = 0;
      while (begin < text.size()) {
        const std::size_t end = next_piece_end(text, begin);
        ASSERT_GT(end, begin);
        ASSERT_LE(end, text.size());
        begin = end;
      }
    }
  }
}

TEST(CharClass, DecodesUtf8AndRejectsMalformedSequences) {
  EXPECT_EQ(decode_char("\xC3\x84", 0).cls, CharClass::kUpper);
  EXPECT_EQ(decode_char("\xC3\x84", 0).length, 2);
  EXPECT_EQ(decode_char("\xF0\x9F\x91\x8D", 0).length, 4);
  for (const char* bad : {"\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xC3"}) {
    SCOPED_TRACE(testing::PrintToString(std::string(bad)));
    EXPECT_EQ(decode_char(bad, 0).cls, CharClass::kOther);
    EXPECT_EQ(decode_char(bad, 0).length, 1);
  }
  EXPECT_EQ(decode_char("a", 1).length, 0);
  EXPECT_EQ(class_of(0x0085), CharClass::kSpace);
  EXPECT_EQ(class_of(0x10D50), CharClass::kUpper);  // Unicode 16.0: known
  EXPECT_EQ(class_of(0x1E6C0), CharClass::kOther);  // Unicode 17.0: not yet
}

}  // namespace
}  // namespace platform::tiktoken::internal
