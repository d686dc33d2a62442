#include "orvane/sdk/http_graph.hpp"

#include <fmt/format.h>

#include <nlohmann/json.hpp>

#include "orvane/sdk/graphql_error.hpp"
#include "orvane/sdk/internal/graphql_text.hpp"
#include "platform/errors/errors.hpp"
#include "platform/json/depth_limited_parse.hpp"
#include "platform/json/ordered_json.hpp"
#include "platform/log/log.hpp"
#include "platform/text/redact.hpp"

namespace orvane::sdk {
namespace {

using Json = nlohmann::ordered_json;

// An answer excerpt in an error text is capped, so an HTML error page stays readable.
constexpr std::size_t kMaxExcerpt = 200;

std::string excerpt(const std::string& body) {
  if (body.size() <= kMaxExcerpt) return body;
  return body.substr(0, kMaxExcerpt) + "...";
}

// The messages of a GraphQL "errors" list; an entry without a text message shows as its JSON.
std::vector<std::string> error_messages(const Json& errors) {
  std::vector<std::string> messages;
  for (const Json& error : errors) {
    const auto message = error.is_object() ? error.find("message") : error.end();
    messages.push_back(message != error.end() && message->is_string() ? message->get<std::string>()
                                                                      : error.dump());
  }
  return messages;
}

}  // namespace

HttpOrvaneGraph::HttpOrvaneGraph(HttpGraphOptions options) : options_(std::move(options)) {
  std::string base = options_.server_url;
  if (!base.starts_with("http://") && !base.starts_with("https://")) {
    throw platform::ValueError(
        fmt::format("Catalogue server url must start with http:// or https://, got \"{}\"",
                    platform::text::without_user_info(base)));
  }
  while (base.ends_with('/')) base.pop_back();
  endpoint_ = base + "/api/graphql";
  shown_endpoint_ = platform::text::without_user_info(endpoint_);
  if (options_.token && options_.token->empty()) options_.token.reset();
}

std::string HttpOrvaneGraph::scrubbed(std::string text) const {
  return options_.token ? platform::text::redacted(text, *options_.token) : text;
}

platform::Value HttpOrvaneGraph::execute_graphql(const std::string& query,
                                                 const platform::Value& variables) {
  Json body{{"query", query}, {"variables", platform::json::to_ordered_json(variables)}};
  platform::http::Request request{.method = "POST",
                                  .url = endpoint_,
                                  .body = body.dump(),
                                  .connect_timeout = options_.connect_timeout,
                                  .total_timeout = options_.total_timeout,
                                  .max_body_bytes = options_.max_answer_bytes};
  request.headers.push_back({"Content-Type", "application/json"});
  request.headers.push_back({"Accept", "application/json"});
  if (options_.token) request.headers.push_back({"Authorization", "Bearer " + *options_.token});

  platform::log::debug("Catalogue GraphQL request {} to {}",
                       internal::root_field(query).value_or("?"), shown_endpoint_);
  const platform::http::Result result =
      platform::http::perform_with_retries(request, options_.retry);
  if (!result.ok()) {
    throw platform::RuntimeError(fmt::format("Catalogue request to {} failed: {}", shown_endpoint_,
                                             scrubbed(result.error_message())));
  }
  const platform::http::Response& response = result.response();
  const Json answer = platform::json::parse_depth_limited<Json>(
      response.body, "The catalogue answer from " + shown_endpoint_);
  const bool has_errors = answer.is_object() && answer.contains("errors") &&
                          answer["errors"].is_array() && !answer["errors"].empty();
  if (has_errors) {
    std::vector<std::string> messages = error_messages(answer["errors"]);
    for (std::string& message : messages) message = scrubbed(std::move(message));
    throw GraphQLError(std::move(messages));
  }
  if (response.status < 200 || response.status >= 300) {
    const std::string hint =
        response.status == 401 || response.status == 403 ? " (check ORVANE_TOKEN)" : "";
    throw platform::RuntimeError(fmt::format("Catalogue request to {} failed with HTTP {}{}: {}",
                                             shown_endpoint_, response.status, hint,
                                             scrubbed(excerpt(response.body))));
  }
  if (answer.is_discarded()) {
    throw platform::RuntimeError(fmt::format(
        "Malformed catalogue answer from {}: not JSON (HTTP {}, {} bytes): {}", shown_endpoint_,
        response.status, response.body.size(), scrubbed(excerpt(response.body))));
  }
  const auto data = answer.is_object() ? answer.find("data") : answer.end();
  if (data == answer.end() || !data->is_object()) {
    throw platform::RuntimeError(
        fmt::format("Malformed catalogue answer from {}: no \"data\" object: {}", shown_endpoint_,
                    scrubbed(excerpt(response.body))));
  }
  return platform::json::from_ordered_json(*data);
}

}  // namespace orvane::sdk
