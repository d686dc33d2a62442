// Layout of the embedded o200k_base rank table, shared by the build-time tool that writes it
// (tools/make_rank_blob.cpp) and the library that reads it in place (rank_table.cpp).
//
// All fields are native-endian, written on the machine that builds the library:
//   RankBlobHeader
//   uint32 offsets[token_count + 1]  token r's bytes are bytes[offsets[r] .. offsets[r + 1])
//   uint64 slots[slot_count]         open addressing, linear probing; 0 is empty, otherwise a
//                                    token's byte offset, rank, length and hash fingerprint
//                                    (make_slot), so a probe rarely needs to read the bytes
//   char bytes[byte_count]           every token's bytes, in rank order
// slot_count is a power of two; a token starts probing at slot_of(hash_bytes(token)).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace platform::tiktoken::internal {

struct RankBlobHeader {
  std::uint32_t magic;
  std::uint32_t token_count;
  std::uint32_t slot_count;
  std::uint32_t byte_count;
};

inline constexpr std::uint32_t kRankBlobMagic = 0x6F323031;

// Slot fields, low bits first: offset (21 bits), rank (18), length (8), fingerprint (17).
inline constexpr int kSlotRankShift = 21;
inline constexpr int kSlotLengthShift = 39;
inline constexpr int kSlotFingerprintShift = 47;
inline constexpr std::uint64_t kMaxSlotOffset = (1ull << kSlotRankShift) - 1;
inline constexpr std::uint64_t kMaxSlotRank = (1ull << (kSlotLengthShift - kSlotRankShift)) - 1;
inline constexpr std::size_t kMaxSlotLength = 255;

// The length and fingerprint part of a slot: equal for a token and a query with the same bytes.
inline std::uint64_t slot_tag(std::uint64_t hash, std::size_t length) {
  return (std::uint64_t{length} << kSlotLengthShift) | (hash << kSlotFingerprintShift);
}
inline constexpr std::uint64_t kSlotTagMask = ~((1ull << kSlotLengthShift) - 1);

inline std::uint64_t make_slot(std::uint64_t hash, std::size_t length, std::uint32_t rank,
                               std::uint32_t offset) {
  return slot_tag(hash, length) | (std::uint64_t{rank} << kSlotRankShift) | offset;
}

inline std::uint32_t load32(const char* p) {
  std::uint32_t value;
  std::memcpy(&value, p, 4);
  return value;
}
inline std::uint64_t load64(const char* p) {
  std::uint64_t value;
  std::memcpy(&value, p, 8);
  return value;
}

// Up to 8 bytes packed into one word, reading only inside the string: two strings of the same
// length (at most 8) are equal exactly when their packed words are.
inline std::uint64_t pack_short(const char* p, std::size_t length) {
  if (length >= 4) return load32(p) | (std::uint64_t{load32(p + length - 4)} << 32);
  if (length == 0) return 0;
  const auto byte = [&](std::size_t i) { return std::uint64_t{static_cast<unsigned char>(p[i])}; };
  return byte(0) | (byte(length / 2) << 8) | (byte(length - 1) << 16);
}

// A fast hash of short byte strings; the table's layout depends on it, so changing it only
// needs a rebuild (the tool runs at build time).
inline std::uint64_t hash_bytes(std::string_view bytes) {
  constexpr std::uint64_t kMultiplier = 0x9E3779B97F4A7C15ull;
  const std::size_t length = bytes.size();
  std::uint64_t hash = length * 0xC2B2AE3D27D4EB4Full;
  if (length <= 8) {
    hash = (hash ^ pack_short(bytes.data(), length)) * kMultiplier;
  } else {
    for (std::size_t pos = 0; pos + 8 < length; pos += 8) {
      hash = (hash ^ load64(bytes.data() + pos)) * kMultiplier;
      hash ^= hash >> 29;
    }
    hash = (hash ^ load64(bytes.data() + length - 8)) * kMultiplier;  // overlaps the last chunk
  }
  return hash ^ (hash >> 32);
}

// The first slot to probe, from the hash's high bits.
inline std::uint32_t slot_of(std::uint64_t hash, std::uint32_t slot_count) {
  return static_cast<std::uint32_t>((hash * 0xFF51AFD7ED558CCDull) >> 32) & (slot_count - 1);
}

}  // namespace platform::tiktoken::internal
