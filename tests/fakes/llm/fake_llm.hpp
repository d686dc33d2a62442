// A fake OpenAI-compatible chat-completion server on 127.0.0.1 (port chosen by the system).
// It answers POST /v1/chat/completions from a script, one answer per request in order, and
// records every request. Past the end of the script it answers 500.
//
//   fakes::FakeLlm llm({fakes::error_answer(429, "slow down"),
//                       fakes::tool_call_answer("Response", R"({"content": ["id"]})")});
//   settings.base_url = llm.base_url();          // "http://127.0.0.1:40123/v1"
//   ... llm.requests()[1].body ...
//
// A script file for the program fake_llm is a JSON array of answers, each one of
//   {"tool_call": {"name": "...", "arguments": "<JSON text>"}}
//   {"text": "..."}                                   (an answer without a tool call)
//   {"status": 429, "error": "...", "retry_after": "1"}
//   {"status": 200, "body": "<raw body>"}
// each optionally with "delay_ms". Thread-safe.
#pragma once

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <string>
#include <utility>
#include <vector>

#include "tests/fakes/common/loopback_server.hpp"

namespace fakes {

struct LlmAnswer {
  int status = 200;
  std::string body;
  std::vector<std::pair<std::string, std::string>> headers;
  std::chrono::milliseconds delay{0};
};

// A completion whose message calls the function `name` with `arguments` (JSON text, sent as is).
LlmAnswer tool_call_answer(const std::string& name, const std::string& arguments);
// A completion whose message is plain text, without a tool call.
LlmAnswer text_answer(const std::string& content);
// An error in the provider's layout {"error": {"message": ..., "type": ...}}.
LlmAnswer error_answer(int status, const std::string& message, const std::string& retry_after = "");
// One entry of a script file (see above).
LlmAnswer answer_from_json(const nlohmann::json& entry);

struct LlmRequest {
  std::string path;
  std::string authorization;
  std::string body;
};

class FakeLlm {
 public:
  explicit FakeLlm(std::vector<LlmAnswer> script);
  ~FakeLlm();

  std::string base_url() const { return running_->url() + "/v1"; }
  std::vector<LlmRequest> requests() const;

 private:
  httplib::Server server_;
  mutable std::mutex mutex_;
  std::vector<LlmAnswer> script_;
  std::size_t next_ = 0;
  std::vector<LlmRequest> requests_;
  std::atomic<bool> stopping_{false};
  std::unique_ptr<LoopbackServer> running_;
};

}  // namespace fakes
