// The o200k_base byte-pair ranks, embedded in the binary and read in place: nothing is loaded,
// parsed or allocated at start-up, and the pages are touched only by the first lookups.
//
//   const RankTable& table = RankTable::o200k_base();
//   std::uint32_t rank = table.find("hello");   // kNoRank when the bytes are not a token
//   std::string_view bytes = table.bytes_of(rank);
//
// Thread-safety: immutable; share freely.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace platform::tiktoken::internal {

inline constexpr std::uint32_t kNoRank = 0xFFFFFFFF;

class RankTable {
 public:
  static const RankTable& o200k_base();

  // The rank of the token whose bytes are `bytes`, or kNoRank.
  std::uint32_t find(std::string_view bytes) const;
  // The bytes of token `rank` (which must be < size()).
  std::string_view bytes_of(std::uint32_t rank) const {
    return {bytes_ + offsets_[rank], offsets_[rank + 1] - offsets_[rank]};
  }
  std::size_t size() const { return token_count_; }

 private:
  RankTable(const std::uint32_t* blob, std::size_t size_bytes);

  std::uint32_t token_count_;
  std::uint32_t slot_mask_;
  const std::uint32_t* offsets_;
  const std::uint64_t* slots_;
  const char* bytes_;
};

}  // namespace platform::tiktoken::internal
