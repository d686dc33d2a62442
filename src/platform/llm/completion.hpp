// `completion`: one OpenAI-compatible chat completion over HTTPS.
//
// The request is the JSON body as a `Value` map ("model", "messages", and any further keys such
// as "tools" and "tool_choice"), sent exactly as given to <base URL>/chat/completions; the
// answer is the provider's JSON body as a `Value`.
//
//   platform::Value answer = platform::llm::completion(platform::Value::Map{
//       {"model", "gpt-4o-mini"},
//       {"messages", platform::Value::List{platform::Value::Map{{"role", "user"},
//                                                               {"content", "Hi"}}}}});
//
// Settings come from the provider's usual environment variables (CompletionSettings::from_env):
// OPENAI_API_KEY, and OPENAI_BASE_URL (or OPENAI_API_BASE) with https://api.openai.com/v1 as
// the default. Connection failures, time-outs, 408, 429 and 5xx answers are retried with
// exponential backoff and jitter (a Retry-After wins), 2 times by default; other answers of 400
// and above are not retried. Failures throw CompletionError (platform::ValueError for an answer
// nested deeper than platform::json::kMaxJsonDepth). The API key is sent only in the
// Authorization header and never appears in a log line or an error text.
//
// Thread-safe: every call is independent.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>

#include "platform/errors/errors.hpp"
#include "platform/http/http_client.hpp"
#include "platform/value/value.hpp"

namespace platform::llm {

inline constexpr const char* kDefaultBaseUrl = "https://api.openai.com/v1";

struct CompletionSettings {
  std::string api_key;
  std::string base_url = kDefaultBaseUrl;
  // Time limit of one request, from connecting to the last byte of the answer.
  std::chrono::milliseconds timeout{std::chrono::seconds(600)};
  // Retries after the first attempt, with their backoff; `sleep` may be replaced in tests.
  http::RetryPolicy retry;
  // The largest answer read, after any decoding (32 MiB); a larger one fails the completion.
  std::size_t max_answer_bytes = std::size_t{32} << 20;

  // OPENAI_API_KEY; OPENAI_BASE_URL, else OPENAI_API_BASE, else the public endpoint.
  static CompletionSettings from_env();
};

// The failure of a completion: the HTTP status (0 when no answer came) and the provider's own
// error message, e.g. "LLM request failed with status 429: Rate limit reached for gpt-4o-mini".
class CompletionError : public RuntimeError {
 public:
  CompletionError(long status, std::string provider_message);
  long status() const { return status_; }
  const std::string& provider_message() const { return provider_message_; }

 private:
  long status_;
  std::string provider_message_;
};

// The shape of every completion function, plain or traced.
using CompletionFunction = std::function<Value(const Value& request)>;

// One chat completion with CompletionSettings::from_env(), read at each call.
// Throws CompletionError.
Value completion(const Value& request);
// The completion function with fixed settings, e.g. a shorter time limit.
CompletionFunction completion_with(CompletionSettings settings);

}  // namespace platform::llm
