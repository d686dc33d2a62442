#include "platform/tiktoken/internal/byte_pair_merge.hpp"

#include <algorithm>
#include <array>
#include <cstddef>
#include <functional>
#include <queue>
#include <tuple>

namespace platform::tiktoken::internal {
namespace {

// Up to this length the scan's O(n^2) beats the heap's bookkeeping.
constexpr std::size_t kScanLimit = 64;

}  // namespace

void byte_pair_encode_by_scan(const RankTable& table, std::string_view piece,
                              std::vector<std::uint32_t>& out) {
  if (piece.size() > kScanLimit) {
    byte_pair_encode_by_heap(table, piece, out);
    return;
  }
  // Part i starts at starts[i]; ranks[i] is the rank of parts i and i + 1 merged. Fixed arrays:
  // this runs for nearly every word, where allocating would cost more than the merging.
  std::array<std::size_t, kScanLimit + 1> starts;
  std::array<std::uint32_t, kScanLimit> ranks;
  std::size_t parts = piece.size();
  for (std::size_t i = 0; i <= parts; ++i) starts[i] = i;
  auto pair_rank = [&](std::size_t i) {
    if (i + 2 > parts) return kNoRank;
    return table.find(piece.substr(starts[i], starts[i + 2] - starts[i]));
  };
  for (std::size_t i = 0; i < parts; ++i) ranks[i] = pair_rank(i);
  while (parts > 1) {
    std::size_t best = 0;
    for (std::size_t i = 1; i + 1 < parts; ++i) {
      if (ranks[i] < ranks[best]) best = i;
    }
    if (ranks[best] == kNoRank) break;
    // Part best + 1 joins part best.
    std::copy(starts.begin() + best + 2, starts.begin() + parts + 1, starts.begin() + best + 1);
    std::copy(ranks.begin() + best + 2, ranks.begin() + parts, ranks.begin() + best + 1);
    --parts;
    ranks[best] = pair_rank(best);
    if (best > 0) ranks[best - 1] = pair_rank(best - 1);
  }
  for (std::size_t i = 0; i < parts; ++i) {
    out.push_back(table.find(piece.substr(starts[i], starts[i + 1] - starts[i])));
  }
}

void byte_pair_encode_by_heap(const RankTable& table, std::string_view piece,
                              std::vector<std::uint32_t>& out) {
  // Parts form a linked list over byte offsets: a part starts at `start` and runs to the start
  // of next[start]. Only offsets that still start a part are live.
  const std::size_t n = piece.size();
  std::vector<std::size_t> next(n), prev(n);
  std::vector<bool> live(n, true);
  for (std::size_t i = 0; i < n; ++i) {
    next[i] = i + 1;
    prev[i] = i - 1;  // wraps for 0; never read there
  }
  // (rank, start of left part, end of right part): a candidate is stale unless its left part is
  // live and still ends where its right part begins, with the right part ending at `end`.
  using Candidate = std::tuple<std::uint32_t, std::size_t, std::size_t>;
  std::priority_queue<Candidate, std::vector<Candidate>, std::greater<>> heap;
  auto push_pair = [&](std::size_t left) {
    if (next[left] >= n) return;
    const std::size_t end = next[next[left]];
    const std::uint32_t rank = table.find(piece.substr(left, end - left));
    if (rank != kNoRank) heap.emplace(rank, left, end);
  };
  for (std::size_t i = 0; i + 1 < n; ++i) push_pair(i);
  while (!heap.empty()) {
    const auto [rank, left, end] = heap.top();
    heap.pop();
    if (!live[left] || next[left] >= n || next[next[left]] != end) continue;
    const std::size_t right = next[left];
    live[right] = false;
    next[left] = end;
    if (end < n) prev[end] = left;
    push_pair(left);
    if (left > 0) push_pair(prev[left]);
  }
  for (std::size_t start = 0; start < n; start = next[start]) {
    out.push_back(table.find(piece.substr(start, next[start] - start)));
  }
}

void byte_pair_encode(const RankTable& table, std::string_view piece,
                      std::vector<std::uint32_t>& out) {
  if (piece.empty()) return;
  if (const std::uint32_t rank = table.find(piece); rank != kNoRank) {
    out.push_back(rank);
  } else {
    byte_pair_encode_by_scan(table, piece, out);  // hands long pieces to the heap
  }
}

}  // namespace platform::tiktoken::internal
