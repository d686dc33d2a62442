#include "platform/tiktoken/encoding.hpp"

#include <algorithm>
#include <array>

#include "platform/errors/errors.hpp"
#include "platform/tiktoken/internal/byte_pair_merge.hpp"
#include "platform/tiktoken/internal/pretokenizer.hpp"
#include "platform/tiktoken/internal/rank_table.hpp"

namespace platform::tiktoken {
namespace {

using internal::RankTable;

// The models that the reference maps to o200k_base (its model_to_encoding.json), by exact name.
constexpr std::array<std::string_view, 50> kO200kModels = {
    "gpt-4o",
    "gpt-4o-2024-05-13",
    "gpt-4o-2024-08-06",
    "gpt-4o-2024-11-20",
    "gpt-4o-mini-2024-07-18",
    "gpt-4o-mini",
    "gpt-4o-search-preview",
    "gpt-4o-search-preview-2025-03-11",
    "gpt-4o-mini-search-preview",
    "gpt-4o-mini-search-preview-2025-03-11",
    "gpt-4o-audio-preview",
    "gpt-4o-audio-preview-2024-12-17",
    "gpt-4o-audio-preview-2024-10-01",
    "gpt-4o-mini-audio-preview",
    "gpt-4o-mini-audio-preview-2024-12-17",
    "o1",
    "o1-2024-12-17",
    "o1-mini",
    "o1-mini-2024-09-12",
    "o1-preview",
    "o1-preview-2024-09-12",
    "o1-pro",
    "o1-pro-2025-03-19",
    "o3",
    "o3-2025-04-16",
    "o3-mini",
    "o3-mini-2025-01-31",
    "o4-mini",
    "o4-mini-2025-04-16",
    "chatgpt-4o-latest",
    "gpt-4o-realtime",
    "gpt-4o-realtime-preview-2024-10-01",
    "gpt-4o-realtime-preview-2024-12-17",
    "gpt-4o-mini-realtime-preview",
    "gpt-4o-mini-realtime-preview-2024-12-17",
    "gpt-4.1",
    "gpt-4.1-2025-04-14",
    "gpt-4.1-mini",
    "gpt-4.1-mini-2025-04-14",
    "gpt-4.1-nano",
    "gpt-4.1-nano-2025-04-14",
    "gpt-4.5-preview",
    "gpt-4.5-preview-2025-02-27",
    "gpt-5",
    "gpt-5-2025-08-07",
    "gpt-5-nano",
    "gpt-5-nano-2025-08-07",
    "gpt-5-mini",
    "gpt-5-mini-2025-08-07",
    "gpt-5-chat-latest",
};

}  // namespace

std::vector<Rank> Encoding::encode(std::string_view text) const {
  const RankTable& table = RankTable::o200k_base();
  std::vector<Rank> tokens;
  tokens.reserve(text.size() / 4 + 1);
  for (std::size_t begin = 0; begin < text.size();) {
    const std::size_t end = internal::next_piece_end(text, begin);
    internal::byte_pair_encode(table, text.substr(begin, end - begin), tokens);
    begin = end;
  }
  return tokens;
}

std::string Encoding::decode(const std::vector<Rank>& tokens) const {
  const RankTable& table = RankTable::o200k_base();
  std::string bytes;
  for (Rank token : tokens) {
    if (token >= table.size()) {
      throw KeyError("token id " + std::to_string(token) + " is not in o200k_base");
    }
    bytes += table.bytes_of(token);
  }
  return bytes;
}

const Encoding& o200k_base() {
  static const Encoding encoding;
  return encoding;
}

const Encoding& encoding_for_model(std::string_view model) {
  if (std::find(kO200kModels.begin(), kO200kModels.end(), model) == kO200kModels.end()) {
    throw KeyError("no tokenizer is known for model '" + std::string(model) +
                   "': only o200k_base models such as gpt-4o-mini are supported");
  }
  return o200k_base();
}

}  // namespace platform::tiktoken
