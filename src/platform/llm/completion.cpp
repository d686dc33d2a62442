#include "platform/llm/completion.hpp"

#include <fmt/format.h>

#include <cstdlib>
#include <nlohmann/json.hpp>

#include "platform/json/depth_limited_parse.hpp"
#include "platform/json/json_writer.hpp"
#include "platform/json/ordered_json.hpp"
#include "platform/log/log.hpp"
#include "platform/text/redact.hpp"

namespace platform::llm {

namespace {

std::string env_or(const char* name, const std::string& fallback) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? std::string(value) : fallback;
}

std::string error_message_of(const http::Response& response) {
  const auto body =
      json::parse_depth_limited<nlohmann::ordered_json>(response.body, "The LLM's answer");
  if (body.is_object() && body.contains("error")) {
    const auto& error = body["error"];
    if (error.is_object() && error.contains("message") && error["message"].is_string()) {
      return error["message"].get<std::string>();
    }
    if (error.is_string()) return error.get<std::string>();
  }
  if (response.body.empty()) return "the answer had no body";
  return response.body.size() > 500 ? response.body.substr(0, 500) + "..." : response.body;
}

std::string failure_text(long status, const std::string& message) {
  return status == 0 ? "LLM request failed: " + message
                     : fmt::format("LLM request failed with status {}: {}", status, message);
}

}  // namespace

CompletionSettings CompletionSettings::from_env() {
  CompletionSettings settings;
  settings.api_key = env_or("OPENAI_API_KEY", "");
  settings.base_url = env_or("OPENAI_BASE_URL", env_or("OPENAI_API_BASE", kDefaultBaseUrl));
  return settings;
}

CompletionError::CompletionError(long status, std::string provider_message)
    : RuntimeError(failure_text(status, provider_message)),
      status_(status),
      provider_message_(std::move(provider_message)) {}

namespace {

Value complete(const Value& request, const CompletionSettings& settings) {
  std::string url = settings.base_url;
  while (!url.empty() && url.back() == '/') url.pop_back();
  url += "/chat/completions";

  http::Request http_request{.method = "POST", .url = url, .body = json::write(request)};
  http_request.headers.push_back({"Content-Type", "application/json"});
  if (!settings.api_key.empty()) {
    http_request.headers.push_back({"Authorization", "Bearer " + settings.api_key});
  }
  http_request.total_timeout = settings.timeout;
  http_request.max_body_bytes = settings.max_answer_bytes;
  http_request.connect_timeout = std::min(http_request.connect_timeout, settings.timeout);

  const Value* model = request.find("model");
  log::debug("Sending chat completion for model {} to {}",
             model != nullptr && model->is_string() ? model->as_string() : "?",
             text::without_user_info(url));
  const http::Result result = http::perform_with_retries(http_request, settings.retry);
  // A provider may echo what it was sent; the key must not travel on in an error text.
  if (!result.ok()) {
    throw CompletionError(0, text::redacted(result.error_message(), settings.api_key));
  }
  const http::Response& response = result.response();
  if (response.status < 200 || response.status >= 300) {
    throw CompletionError(response.status,
                          text::redacted(error_message_of(response), settings.api_key));
  }
  const auto body =
      json::parse_depth_limited<nlohmann::ordered_json>(response.body, "The LLM's answer");
  if (!body.is_object()) {
    throw CompletionError(response.status, "the answer is not a JSON object");
  }
  return json::from_ordered_json(body);
}

}  // namespace

Value completion(const Value& request) { return complete(request, CompletionSettings::from_env()); }

CompletionFunction completion_with(CompletionSettings settings) {
  return [settings = std::move(settings)](const Value& request) {
    return complete(request, settings);
  };
}

}  // namespace platform::llm
