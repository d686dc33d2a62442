// Any bytes encode without a crash, and decode back to themselves; both merge strategies agree.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/tiktoken/encoding.hpp"
#include "platform/tiktoken/internal/byte_pair_merge.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const auto& encoding = platform::tiktoken::o200k_base();
  if (encoding.decode(encoding.encode(input)) != input) __builtin_trap();

  namespace internal = platform::tiktoken::internal;
  const auto& table = internal::RankTable::o200k_base();
  std::vector<std::uint32_t> by_scan, by_heap;
  internal::byte_pair_encode_by_scan(table, input.substr(0, 64), by_scan);
  internal::byte_pair_encode_by_heap(table, input.substr(0, 64), by_heap);
  if (by_scan != by_heap) __builtin_trap();
  return 0;
}
