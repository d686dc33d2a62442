// Downloads the result chunks a query answer lists ("chunks", with "chunkHeaders" or "qrmk"),
// in order, and returns their rows as JSON arrays of cells.
#pragma once

#include <chrono>
#include <functional>
#include <vector>

#include <nlohmann/json.hpp>

namespace platform::snowflake::internal {

struct ChunkDownloadOptions {
  std::chrono::milliseconds request_timeout{std::chrono::seconds(90)};
  int max_retries = 10;
  std::function<void(std::chrono::milliseconds)> sleep;
};

// Throws SnowflakeError when a chunk cannot be fetched, is not JSON rows, or holds another
// number of rows than announced.
std::vector<nlohmann::json> download_chunk_rows(const nlohmann::json& data,
                                                const ChunkDownloadOptions& options);

}  // namespace platform::snowflake::internal
