// Downloads the result chunks a query answer lists ("chunks", with "chunkHeaders" or "qrmk"),
// in order, and returns their rows as JSON arrays of cells.
//
// A chunk's text may be at most its announced "uncompressedSize" plus kChunkSizeSlackBytes, or
// kMaxUnannouncedChunkBytes when it announces none, downloaded and inflated alike.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace platform::snowflake::internal {

struct ChunkDownloadOptions {
  std::chrono::milliseconds request_timeout{std::chrono::seconds(90)};
  int max_retries = 10;
  std::function<void(std::chrono::milliseconds)> sleep;
};

inline constexpr std::size_t kChunkSizeSlackBytes = std::size_t{1} << 20;         // 1 MiB
inline constexpr std::size_t kMaxUnannouncedChunkBytes = std::size_t{256} << 20;  // 256 MiB

// Throws SnowflakeError when a chunk cannot be fetched, is too large, is not JSON rows, or holds
// another number of rows than announced; platform::ValueError when it nests deeper than
// platform::json::kMaxJsonDepth.
std::vector<nlohmann::json> download_chunk_rows(const nlohmann::json& data,
                                                const ChunkDownloadOptions& options);

// The rows of one chunk's body (the rows without their enclosing brackets, gzip-compressed or
// not) as a JSON array. Throws SnowflakeError for damaged gzip data, a text beyond `max_bytes`,
// or a text that is not JSON; platform::ValueError for nesting beyond the JSON depth limit.
nlohmann::json decode_chunk_rows(std::string body, std::size_t max_bytes);

}  // namespace platform::snowflake::internal
