#include "platform/tiktoken/internal/rank_table.hpp"

#include "platform/errors/errors.hpp"
#include "platform/tiktoken/internal/rank_blob_format.hpp"

// The blob that tools/make_rank_blob.cpp writes at build time, assembled into read-only data
// (see embedded_ranks.cpp).
extern "C" const std::uint32_t osa_tiktoken_o200k_blob[];
extern "C" const std::uint32_t osa_tiktoken_o200k_blob_size;

namespace platform::tiktoken::internal {

const RankTable& RankTable::o200k_base() {
  static const RankTable table(osa_tiktoken_o200k_blob, osa_tiktoken_o200k_blob_size);
  return table;
}

RankTable::RankTable(const std::uint32_t* blob, std::size_t size_bytes) {
  const auto* header = reinterpret_cast<const RankBlobHeader*>(blob);
  check(size_bytes >= sizeof(RankBlobHeader) && header->magic == kRankBlobMagic,
        "embedded o200k_base rank table is damaged");
  token_count_ = header->token_count;
  slot_mask_ = header->slot_count - 1;
  offsets_ = blob + sizeof(RankBlobHeader) / 4;
  // The tool pads the offsets to a multiple of 8 bytes, so the slots are aligned.
  const std::size_t offset_words = (token_count_ + 2) / 2 * 2;
  slots_ = reinterpret_cast<const std::uint64_t*>(offsets_ + offset_words);
  bytes_ = reinterpret_cast<const char*>(slots_ + header->slot_count);
  const std::size_t expected = sizeof(RankBlobHeader) + 4 * offset_words +
                               8 * std::size_t{header->slot_count} + header->byte_count;
  check(size_bytes >= expected && offsets_[token_count_] == header->byte_count,
        "embedded o200k_base rank table is damaged");
}

std::uint32_t RankTable::find(std::string_view bytes) const {
  if (bytes.size() > kMaxSlotLength) return kNoRank;
  const std::uint64_t hash = hash_bytes(bytes);
  const std::uint64_t tag = slot_tag(hash, bytes.size());
  for (std::uint32_t slot = slot_of(hash, slot_mask_ + 1);; slot = (slot + 1) & slot_mask_) {
    const std::uint64_t entry = slots_[slot];
    if (entry == 0) return kNoRank;
    if ((entry & kSlotTagMask) != tag) continue;
    const char* token = bytes_ + (entry & kMaxSlotOffset);
    const bool same = bytes.size() <= 8 ? pack_short(token, bytes.size()) ==
                                              pack_short(bytes.data(), bytes.size())
                                        : std::memcmp(token, bytes.data(), bytes.size()) == 0;
    if (same) return static_cast<std::uint32_t>((entry >> kSlotRankShift) & kMaxSlotRank);
  }
}

}  // namespace platform::tiktoken::internal
