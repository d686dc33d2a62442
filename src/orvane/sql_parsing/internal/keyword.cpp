#include "orvane/sql_parsing/internal/keyword.hpp"

#include <algorithm>
#include <array>
#include <cstdint>

namespace orvane::sql_parsing::internal {
namespace {

constexpr std::size_t kLongestKeyword = [] {
  std::size_t longest = 0;
  for (const auto& info : keyword_detail::kKeywordInfo) {
    longest = std::max(longest, info.spelling.size());
  }
  return longest;
}();
static_assert(kLongestKeyword <= 16, "a spelling must fit the two halves of Spelling");

// Every word of the text is looked up, so a lookup is a few word-sized operations: the spelling,
// upper-cased, as two zero-padded 8-byte halves, hashed into an open-addressing table.
struct Spelling {
  std::uint64_t low = 0;
  std::uint64_t high = 0;
  bool operator==(const Spelling&) const = default;
};

// Clearing bit 5 of every byte upper-cases the letters; of the other bytes a word holds (digits,
// `_`, `$`, bytes above 0x7f) none becomes a letter or `_`, so no other word meets a keyword.
Spelling upper_spelling(std::string_view word) {
  constexpr std::uint64_t kNotBit5 = ~std::uint64_t{0x2020202020202020};
  Spelling spelling;
  std::size_t i = 0;
  for (; i < word.size() && i < 8; ++i) {
    spelling.low |= std::uint64_t{static_cast<unsigned char>(word[i])} << (8 * i);
  }
  for (; i < word.size(); ++i) {
    spelling.high |= std::uint64_t{static_cast<unsigned char>(word[i])} << (8 * (i - 8));
  }
  spelling.low &= kNotBit5;
  spelling.high &= kNotBit5;
  return spelling;
}

constexpr int kSlotBits = 9;
constexpr std::size_t kSlots = std::size_t{1} << kSlotBits;
static_assert(kKeywordCount <= kSlots / 2, "the table stays at most half full");

std::size_t slot_of(const Spelling& spelling) {
  std::uint64_t hash = spelling.low * 0x9E3779B97F4A7C15u ^ spelling.high * 0xC2B2AE3D27D4EB4Fu;
  return static_cast<std::size_t>(hash >> (64 - kSlotBits));
}

struct KeywordTable {
  struct Slot {
    Spelling spelling;
    Keyword keyword = Keyword::kNone;  // kNone: empty
  };
  std::array<Slot, kSlots> slots{};
  KeywordTable() {
    for (std::size_t index = 1; index < kKeywordCount; ++index) {
      Spelling spelling = upper_spelling(keyword_detail::kKeywordInfo[index].spelling);
      std::size_t slot = slot_of(spelling);
      while (slots[slot].keyword != Keyword::kNone) slot = (slot + 1) % kSlots;
      slots[slot] = Slot{spelling, static_cast<Keyword>(index)};
    }
  }
};

}  // namespace

Keyword keyword_of(std::string_view word) {
  if (word.size() < 2 || word.size() > kLongestKeyword) return Keyword::kNone;
  static const KeywordTable table;
  Spelling spelling = upper_spelling(word);
  for (std::size_t slot = slot_of(spelling); table.slots[slot].keyword != Keyword::kNone;
       slot = (slot + 1) % kSlots) {
    if (table.slots[slot].spelling == spelling) return table.slots[slot].keyword;
  }
  return Keyword::kNone;
}

}  // namespace orvane::sql_parsing::internal
