#include "platform/snowflake/internal/chunk_download.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <cstdint>
#include <limits>

#include "platform/http/http_client.hpp"
#include "platform/json/depth_limited_parse.hpp"
#include "platform/snowflake/internal/encoding.hpp"
#include "platform/snowflake/internal/envelope.hpp"
#include "platform/snowflake/snowflake_error.hpp"

namespace platform::snowflake::internal {
namespace {

std::vector<http::Header> chunk_headers(const nlohmann::json& data) {
  std::vector<http::Header> headers;
  if (const auto it = data.find("chunkHeaders"); it != data.end() && it->is_object()) {
    for (const auto& [name, value] : it->items()) {
      headers.push_back({name, value.is_string() ? value.get<std::string>() : value.dump()});
    }
  } else if (const auto qrmk = data.find("qrmk"); qrmk != data.end() && qrmk->is_string()) {
    headers.push_back({"x-amz-server-side-encryption-customer-algorithm", "AES256"});
    headers.push_back({"x-amz-server-side-encryption-customer-key", qrmk->get<std::string>()});
  }
  return headers;
}

// The most bytes the chunk's text may have.
std::size_t chunk_limit(const nlohmann::json& chunk) {
  const auto size = chunk.find("uncompressedSize");
  if (size == chunk.end() || !size->is_number_unsigned()) return kMaxUnannouncedChunkBytes;
  const auto announced = size->get<std::uint64_t>();
  const std::uint64_t max = std::numeric_limits<std::size_t>::max() - kChunkSizeSlackBytes;
  return static_cast<std::size_t>(std::min(announced, max)) + kChunkSizeSlackBytes;
}

}  // namespace

nlohmann::json decode_chunk_rows(std::string body, std::size_t max_bytes) {
  // Chunk bodies are the rows without the enclosing brackets.
  nlohmann::json rows = json::parse_depth_limited<nlohmann::json>(
      "[" + gunzip_if_compressed(std::move(body), max_bytes) + "]", "A result chunk");
  if (rows.is_discarded()) throw SnowflakeError::malformed_answer("the chunk is not JSON rows");
  return rows;
}

std::vector<nlohmann::json> download_chunk_rows(const nlohmann::json& data,
                                                const ChunkDownloadOptions& options) {
  std::vector<nlohmann::json> rows;
  const auto chunks = data.find("chunks");
  if (chunks == data.end() || !chunks->is_array()) return rows;
  const std::string query_id = text_member(data, "queryId");
  const std::vector<http::Header> headers = chunk_headers(data);
  // Storage also answers 403 while a freshly written chunk is not yet readable.
  http::RetryPolicy policy{
      .max_retries = options.max_retries,
      .initial_backoff = std::chrono::seconds(1),
      .max_backoff = std::chrono::seconds(16),
      .retry_status =
          [](long status) { return status == 403 || http::is_retryable_status(status); },
      .sleep = options.sleep};
  size_t index = 0;
  for (const auto& chunk : *chunks) {
    ++index;
    const auto fail = [&](const std::string& reason) {
      throw SnowflakeError::connector_failure(
          fmt::format("Could not download result chunk {} of {}: {}", index, chunks->size(),
                      reason),
          query_id);
    };
    http::Request request{.method = "GET",
                          .url = text_member(chunk, "url"),
                          .headers = headers,
                          .total_timeout = options.request_timeout,
                          .schemes = http::Schemes::kHttpsOrLoopbackHttp,
                          .max_body_bytes = chunk_limit(chunk)};
    const http::Result result = http::perform_with_retries(request, policy);
    if (!result.ok()) fail(result.error_message());
    const http::Response& response = result.response();
    if (response.status != 200) fail(fmt::format("HTTP status {}", response.status));
    if (response.header("Content-Type").value_or("").find("xml") != std::string::npos) {
      fail("the storage answered with an error document");
    }
    nlohmann::json chunk_rows;
    try {
      chunk_rows = decode_chunk_rows(response.body, request.max_body_bytes);
    } catch (const SnowflakeError& error) {
      fail(error.message());
    }
    if (const auto count = chunk.find("rowCount"); count != chunk.end() &&
                                                   count->is_number_integer() &&
                                                   count->get<std::size_t>() != chunk_rows.size()) {
      fail(fmt::format("expected {} rows, got {}", count->get<std::size_t>(), chunk_rows.size()));
    }
    for (const auto& row : chunk_rows) rows.push_back(row);
  }
  return rows;
}

}  // namespace platform::snowflake::internal
