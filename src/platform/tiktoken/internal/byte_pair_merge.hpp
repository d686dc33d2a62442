// Byte-pair encoding of one pre-tokenised piece: start from single bytes and repeatedly merge
// the adjacent pair whose concatenation has the lowest rank (the leftmost one on a tie), until
// no adjacent pair is a token. Appends the ranks of the final parts to `out`.
//
//   std::vector<std::uint32_t> ids;
//   byte_pair_encode(RankTable::o200k_base(), "unbelievable", ids);
//
// Short pieces use a linear scan per merge; long ones a heap, so a piece of n bytes costs
// O(n log n) rather than O(n^2). Both give the same result (tested).
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/tiktoken/internal/rank_table.hpp"

namespace platform::tiktoken::internal {

void byte_pair_encode(const RankTable& table, std::string_view piece,
                      std::vector<std::uint32_t>& out);

// The two strategies, exposed so tests can hold them to each other. The scan passes pieces
// longer than its fixed buffers to the heap.
void byte_pair_encode_by_scan(const RankTable& table, std::string_view piece,
                              std::vector<std::uint32_t>& out);
void byte_pair_encode_by_heap(const RankTable& table, std::string_view piece,
                              std::vector<std::uint32_t>& out);

}  // namespace platform::tiktoken::internal
