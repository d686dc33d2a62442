#include "platform/snowflake/internal/chunk_download.hpp"

#include <fmt/format.h>

#include "platform/http/http_client.hpp"
#include "platform/snowflake/internal/encoding.hpp"
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

}  // namespace

std::vector<nlohmann::json> download_chunk_rows(const nlohmann::json& data,
                                                const ChunkDownloadOptions& options) {
  std::vector<nlohmann::json> rows;
  const auto chunks = data.find("chunks");
  if (chunks == data.end() || !chunks->is_array()) return rows;
  const std::string query_id = data.value("queryId", "");
  const std::vector<http::Header> headers = chunk_headers(data);
  // Storage also answers 403 while a freshly written chunk is not yet readable.
  http::RetryPolicy policy{.max_retries = options.max_retries,
                           .initial_backoff = std::chrono::seconds(1),
                           .max_backoff = std::chrono::seconds(16),
                           .retry_status =
                               [](long status) {
                                 return status == 403 || status == 408 || status == 429 ||
                                        status >= 500;
                               },
                           .sleep = options.sleep};
  size_t index = 0;
  for (const auto& chunk : *chunks) {
    ++index;
    const auto fail = [&](const std::string& reason) {
      throw SnowflakeError("", "", query_id,
                           fmt::format("Could not download result chunk {} of {}: {}", index,
                                       chunks->size(), reason));
    };
    http::Request request{.method = "GET",
                          .url = chunk.value("url", ""),
                          .headers = headers,
                          .total_timeout = options.request_timeout,
                          .schemes = http::Schemes::kHttpsOrLoopbackHttp};
    const http::Result result = http::perform_with_retries(request, policy);
    if (!result.ok()) fail(result.error_message());
    const http::Response& response = result.response();
    if (response.status != 200) fail(fmt::format("HTTP status {}", response.status));
    if (response.header("Content-Type").value_or("").find("xml") != std::string::npos) {
      fail("the storage answered with an error document");
    }
    // Chunk bodies are the rows without the enclosing brackets.
    const nlohmann::json chunk_rows =
        nlohmann::json::parse("[" + gunzip_if_compressed(response.body) + "]", nullptr, false);
    if (chunk_rows.is_discarded()) fail("the chunk is not JSON rows");
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
