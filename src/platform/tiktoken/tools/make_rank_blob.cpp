// Build-time tool: turns the npm package's o200k_base.json (data/tiktoken/) into the rank blob
// that the library embeds (layout in internal/rank_blob_format.hpp).
//
//   make_rank_blob data/tiktoken/o200k_base.json o200k_base.ranks.bin
//
// It refuses a file whose pattern differs from the one the hand-written pre-tokeniser implements,
// or whose tokens are not a complete byte-level vocabulary.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <stdexcept>
#include <string>
#include <unordered_set>
#include <vector>

#include "platform/tiktoken/internal/rank_blob_format.hpp"

namespace {

using platform::tiktoken::internal::hash_bytes;
using platform::tiktoken::internal::kMaxSlotLength;
using platform::tiktoken::internal::kMaxSlotOffset;
using platform::tiktoken::internal::kMaxSlotRank;
using platform::tiktoken::internal::kRankBlobMagic;
using platform::tiktoken::internal::make_slot;
using platform::tiktoken::internal::RankBlobHeader;
using platform::tiktoken::internal::slot_of;

constexpr const char* kExpectedPattern =
    R"([^\r\n\p{L}\p{N}]?[\p{Lu}\p{Lt}\p{Lm}\p{Lo}\p{M}]*[\p{Ll}\p{Lm}\p{Lo}\p{M}]+(?i:'s|'t|'re|'ve|'m|'ll|'d)?)"
    R"(|[^\r\n\p{L}\p{N}]?[\p{Lu}\p{Lt}\p{Lm}\p{Lo}\p{M}]+[\p{Ll}\p{Lm}\p{Lo}\p{M}]*(?i:'s|'t|'re|'ve|'m|'ll|'d)?)"
    R"(|\p{N}{1,3}| ?[^\s\p{L}\p{N}]+[\r\n/]*|\s*[\r\n]+|\s+(?!\S)|\s+)";

std::string base64_decode(const std::string& text) {
  auto value = [&](char c) -> int {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    throw std::runtime_error("bad base64 token: " + text);
  };
  std::string out;
  std::uint32_t bits = 0;
  int bit_count = 0;
  for (char c : text) {
    if (c == '=') break;
    bits = (bits << 6) | static_cast<std::uint32_t>(value(c));
    bit_count += 6;
    if (bit_count >= 8) {
      bit_count -= 8;
      out.push_back(static_cast<char>((bits >> bit_count) & 0xFF));
    }
  }
  return out;
}

// "! <first rank> <base64 token> <base64 token> ...": consecutive ranks from the first one.
std::vector<std::string> parse_ranks(const std::string& bpe_ranks) {
  std::vector<std::string> tokens;
  std::istringstream fields(bpe_ranks);
  std::string field;
  while (fields >> field) {
    if (field == "!") {
      std::size_t first_rank = 0;
      if (!(fields >> first_rank) || first_rank != tokens.size()) {
        throw std::runtime_error("ranks are not consecutive from 0");
      }
      continue;
    }
    tokens.push_back(base64_decode(field));
  }
  return tokens;
}

std::vector<std::uint32_t> make_blob(const std::vector<std::string>& tokens) {
  if (tokens.size() > kMaxSlotRank) throw std::runtime_error("too many tokens");
  std::uint32_t slot_count = 1;
  while (slot_count < tokens.size() * 2) slot_count <<= 1;  // load factor below 1/2
  RankBlobHeader header{kRankBlobMagic, static_cast<std::uint32_t>(tokens.size()), slot_count, 0};
  std::vector<std::uint32_t> offsets{0};
  std::string bytes;
  std::vector<std::uint64_t> slots(slot_count, 0);
  std::unordered_set<std::string> seen;
  for (std::uint32_t rank = 0; rank < tokens.size(); ++rank) {
    const std::string& token = tokens[rank];
    if (token.empty() || token.size() > kMaxSlotLength || !seen.insert(token).second) {
      throw std::runtime_error("empty, oversized or repeated token at rank " +
                               std::to_string(rank));
    }
    if (bytes.size() > kMaxSlotOffset) throw std::runtime_error("tokens too long in total");
    const auto offset = static_cast<std::uint32_t>(bytes.size());
    bytes += token;
    offsets.push_back(static_cast<std::uint32_t>(bytes.size()));
    const std::uint64_t hash = hash_bytes(token);
    std::uint32_t slot = slot_of(hash, slot_count);
    while (slots[slot] != 0) slot = (slot + 1) & (slot_count - 1);
    slots[slot] = make_slot(hash, token.size(), rank, offset);
  }
  for (int byte = 0; byte < 256; ++byte) {
    if (!seen.count(std::string(1, static_cast<char>(byte)))) {
      throw std::runtime_error("byte " + std::to_string(byte) + " has no token");
    }
  }
  header.byte_count = static_cast<std::uint32_t>(bytes.size());
  if (offsets.size() % 2 != 0) offsets.push_back(0);  // keeps the slots 8-byte aligned
  bytes.resize((bytes.size() + 3) / 4 * 4, '\0');

  std::vector<std::uint32_t> blob(sizeof(header) / 4);
  std::memcpy(blob.data(), &header, sizeof(header));
  blob.insert(blob.end(), offsets.begin(), offsets.end());
  const std::size_t slots_at = blob.size();
  blob.resize(slots_at + 2 * slots.size());
  std::memcpy(blob.data() + slots_at, slots.data(), 8 * slots.size());
  const std::size_t bytes_at = blob.size();
  blob.resize(bytes_at + bytes.size() / 4);
  std::memcpy(blob.data() + bytes_at, bytes.data(), bytes.size());
  return blob;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: make_rank_blob o200k_base.json OUTPUT\n";
    return 2;
  }
  try {
    std::ifstream in(argv[1]);
    if (!in) throw std::runtime_error(std::string("cannot read ") + argv[1]);
    const nlohmann::json encoder = nlohmann::json::parse(in);
    if (encoder.at("pat_str").get<std::string>() != kExpectedPattern) {
      throw std::runtime_error("pattern differs from the one the pre-tokeniser implements");
    }
    const std::vector<std::uint32_t> blob =
        make_blob(parse_ranks(encoder.at("bpe_ranks").get<std::string>()));
    // Written aside and renamed, so an interrupted build never leaves a short blob behind.
    const std::string partial = std::string(argv[2]) + ".partial";
    std::ofstream out(partial, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(blob.data()),
              static_cast<std::streamsize>(blob.size() * 4));
    out.close();
    if (!out || std::rename(partial.c_str(), argv[2]) != 0) {
      throw std::runtime_error(std::string("cannot write ") + argv[2]);
    }
  } catch (const std::exception& e) {
    std::cerr << "make_rank_blob: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
