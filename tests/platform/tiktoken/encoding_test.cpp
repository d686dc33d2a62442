#include "platform/tiktoken/encoding.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/errors/errors.hpp"
#include "tests/support/expect_throw.hpp"

namespace platform::tiktoken {
namespace {

using Ids = std::vector<Rank>;

TEST(EncodingForModel, KnowsTheO200kModels) {
  for (const char* model : {"gpt-4o-mini", "gpt-4o", "o1", "o3-mini", "gpt-4.1", "gpt-5"}) {
    SCOPED_TRACE(model);
    EXPECT_EQ(&encoding_for_model(model), &o200k_base());
  }
  EXPECT_EQ(o200k_base().name(), "o200k_base");
}

TEST(EncodingForModel, RefusesOtherModels) {
  // gpt-4 is a real model, but of another encoding; names match exactly, as in the reference.
  for (const char* model : {"gpt-4", "gpt-4o-mini ", "GPT-4O-MINI", ""}) {
    SCOPED_TRACE(model);
    EXPECT_THROW(encoding_for_model(model), platform::KeyError);
  }
  EXPECT_THROW_MSG(encoding_for_model("llama"), platform::KeyError,
                   "no tokenizer is known for model 'llama': only o200k_base models such as "
                   "gpt-4o-mini are supported");
}

// Ids taken from the reference encoder.
TEST(Encode, MatchesKnownIds) {
  const Encoding& enc = o200k_base();
  EXPECT_EQ(enc.encode(""), Ids{});
  EXPECT_EQ(enc.encode("hello world"), (Ids{24912, 2375}));
  EXPECT_EQ(enc.encode("SELECT 1"), (Ids{9974, 220, 16}));
  EXPECT_EQ(enc.encode("don't DON'T it'\u017F"), (Ids{91418, 153384, 480, 6, 70067}));
  EXPECT_EQ(enc.encode("!\u0085!"), (Ids{0, 126, 227, 0}));  // U+0085 is white space
  EXPECT_EQ(enc.encode("!\uFEFF!"), (Ids{0, 5574, 0}));      // U+FEFF is not
}

TEST(Encode, TreatsSpecialTokenTextAsOrdinaryText) {
  const Encoding& enc = o200k_base();
  const Ids expected{27, 91, 419, 1440, 919, 91, 29};  // "<", "|", "end", "of", "text", "|", ">"
  EXPECT_EQ(enc.encode("<|endoftext|>"), expected);
  const std::string comment = "SELECT 1 -- <|endofprompt|> <|endoftext|>";
  EXPECT_EQ(enc.decode(enc.encode(comment)), comment);
  for (Rank id : enc.encode(comment)) EXPECT_LT(id, 199998u);  // no special-token id
}

TEST(Encode, KeepsInvalidUtf8ByteForByte) {
  const Encoding& enc = o200k_base();
  const std::vector<std::string> inputs = {"\xFF",
                                           "abc\xC3",
                                           "\xC3(",
                                           "\xC0\xAF",  // truncated, bad tail, overlong
                                           "\xED\xA0\x80",
                                           "\xF4\x90\x80\x80",  // surrogate, above U+10FFFF
                                           "caf\xE9 au lait",
                                           std::string("nul\0byte", 8),
                                           "\x80\x80\x80 x\xFE\xFF'S"};
  for (const std::string& input : inputs) {
    SCOPED_TRACE(testing::PrintToString(input));
    EXPECT_EQ(enc.decode(enc.encode(input)), input);
  }
  // A stray byte is a symbol of its own: it never joins a neighbouring character's token.
  EXPECT_EQ(enc.encode("\xFF"), Ids{187});  // the token of the single byte 0xFF
  EXPECT_EQ(enc.encode("a\xFF").front(), enc.encode("a").front());
}

TEST(Encode, HandlesLongRunsWithoutSpaces) {
  // Merging is not quadratic: each of these finishes in milliseconds.
  const Encoding& enc = o200k_base();
  std::string letters;
  for (int i = 0; i < 100000; ++i) letters += static_cast<char>('a' + (i * 7919) % 26);
  const std::vector<std::string> inputs = {letters, std::string(100000, 'x'),
                                           std::string(100000, '!')};
  for (const std::string& input : inputs) {
    const Ids ids = enc.encode(input);
    EXPECT_LT(ids.size(), input.size());
    EXPECT_EQ(enc.decode(ids), input);
  }
}

TEST(Decode, RefusesUnknownIds) {
  const Encoding& enc = o200k_base();
  EXPECT_EQ(enc.decode({24912, 2375}), "hello world");
  EXPECT_THROW_MSG(enc.decode({24912, 199999}), platform::KeyError,
                   "token id 199999 is not in o200k_base");
}

}  // namespace
}  // namespace platform::tiktoken
