// `HttpOrvaneGraph`: the catalogue's GraphQL endpoint over HTTP(S).
//
//   HttpOrvaneGraph graph({.server_url = "https://catalogue.example.com", .token = "..."});
//   platform::Value data = graph.execute_graphql(query, variables);
//
// Each operation is one POST of {"query": ..., "variables": ...} to <server_url>/api/graphql,
// with "Authorization: Bearer <token>" when a token is set. Connection failures, timeouts, 408,
// 429 and 5xx answers are retried with exponential backoff (a Retry-After is honoured); other 4xx
// answers are not. The wire format is described in docs/catalogue.md.
//
// Throws platform::ValueError from the constructor for a url that is not http(s); from
// `execute_graphql`: GraphQLError for an answer with GraphQL errors, platform::RuntimeError for
// a failed exchange, an HTTP error status, an answer beyond `max_answer_bytes`, or a malformed or
// truncated answer; platform::ValueError for an answer nested deeper than
// platform::json::kMaxJsonDepth. The token never
// appears in an error text or a log line. Thread-safe: every call uses its own connection.
#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>

#include "orvane/sdk/orvane_graph.hpp"
#include "platform/http/http_client.hpp"

namespace orvane::sdk {

struct HttpGraphOptions {
  std::string server_url;  // "https://host[:port][/base]"; "/api/graphql" is appended
  std::optional<std::string> token;
  std::chrono::milliseconds connect_timeout{std::chrono::seconds(10)};
  // One exchange, from connecting to the last byte of the answer.
  std::chrono::milliseconds total_timeout{std::chrono::seconds(30)};
  platform::http::RetryPolicy retry{.max_retries = 3};
  // The largest answer read, after any decoding (64 MiB); a larger one fails the operation.
  std::size_t max_answer_bytes = std::size_t{64} << 20;
};

class HttpOrvaneGraph : public OrvaneGraph {
 public:
  explicit HttpOrvaneGraph(HttpGraphOptions options);

  platform::Value execute_graphql(const std::string& query,
                                  const platform::Value& variables) override;

  // The GraphQL endpoint, without any user information of the url.
  const std::string& endpoint() const { return shown_endpoint_; }

 private:
  // `text` with every occurrence of the token blanked out.
  std::string scrubbed(std::string text) const;

  HttpGraphOptions options_;
  std::string endpoint_;
  std::string shown_endpoint_;
};

}  // namespace orvane::sdk
