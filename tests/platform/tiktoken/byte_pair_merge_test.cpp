#include "platform/tiktoken/internal/byte_pair_merge.hpp"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace platform::tiktoken::internal {
namespace {

std::vector<std::uint32_t> by(void (*strategy)(const RankTable&, std::string_view,
                                               std::vector<std::uint32_t>&),
                              std::string_view piece) {
  std::vector<std::uint32_t> out;
  strategy(RankTable::o200k_base(), piece, out);
  return out;
}

TEST(BytePairMerge, HeapAndScanAgree) {
  // Small alphabets make many equal-rank ties, where the leftmost pair must win in both.
  const std::vector<std::string> alphabets = {"ab", "abc ", "xyz_0", "aeiou",
                                              "\xE6\xBC\xA2\xC3\xA9!"};
  std::mt19937 random(7);
  for (const std::string& alphabet : alphabets) {
    for (int round = 0; round < 40; ++round) {
      std::string piece;
      const int length = 1 + static_cast<int>(random() % 64);  // the scan's whole range
      for (int i = 0; i < length; ++i) piece += alphabet[random() % alphabet.size()];
      SCOPED_TRACE(piece);
      EXPECT_EQ(by(byte_pair_encode_by_heap, piece), by(byte_pair_encode_by_scan, piece));
    }
  }
}

TEST(BytePairMerge, MergesToKnownTokens) {
  const RankTable& table = RankTable::o200k_base();
  const std::vector<std::uint32_t> ids = by(byte_pair_encode, "Donaudampfschifffahrt");
  std::string joined;
  for (std::uint32_t id : ids) joined += table.bytes_of(id);
  EXPECT_EQ(joined, "Donaudampfschifffahrt");
  EXPECT_GT(ids.size(), 1u);
  EXPECT_EQ(by(byte_pair_encode, "hello"), std::vector<std::uint32_t>{table.find("hello")});
  EXPECT_EQ(table.find("no such token, surely"), kNoRank);
  EXPECT_EQ(table.size(), 199998u);
}

}  // namespace
}  // namespace platform::tiktoken::internal
