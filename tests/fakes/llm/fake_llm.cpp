#include "tests/fakes/llm/fake_llm.hpp"

#include <thread>

namespace fakes {

namespace {

std::string completion_body(const nlohmann::json& message) {
  return nlohmann::json{
      {"id", "chatcmpl-fake"},
      {"object", "chat.completion"},
      {"model", "gpt-4o-mini"},
      {"choices",
       nlohmann::json::array({{{"index", 0}, {"message", message}, {"finish_reason", "stop"}}})}}
      .dump();
}

}  // namespace

LlmAnswer tool_call_answer(const std::string& name, const std::string& arguments) {
  const nlohmann::json call = {{"id", "call_1"},
                               {"type", "function"},
                               {"function", {{"name", name}, {"arguments", arguments}}}};
  return {.body = completion_body({{"role", "assistant"},
                                   {"content", nullptr},
                                   {"tool_calls", nlohmann::json::array({call})}})};
}

LlmAnswer text_answer(const std::string& content) {
  return {.body = completion_body({{"role", "assistant"}, {"content", content}})};
}

LlmAnswer error_answer(int status, const std::string& message, const std::string& retry_after) {
  LlmAnswer answer{
      .status = status,
      .body = nlohmann::json{{"error", {{"message", message}, {"type", "fake"}}}}.dump()};
  if (!retry_after.empty()) answer.headers.emplace_back("Retry-After", retry_after);
  return answer;
}

LlmAnswer answer_from_json(const nlohmann::json& entry) {
  LlmAnswer answer;
  if (entry.contains("tool_call")) {
    answer = tool_call_answer(entry["tool_call"].at("name").get<std::string>(),
                              entry["tool_call"].at("arguments").get<std::string>());
  } else if (entry.contains("text")) {
    answer = text_answer(entry["text"].get<std::string>());
  } else if (entry.contains("error")) {
    answer = error_answer(entry.value("status", 500), entry["error"].get<std::string>(),
                          entry.value("retry_after", ""));
  } else {
    answer.status = entry.value("status", 200);
    answer.body = entry.value("body", "");
  }
  answer.delay = std::chrono::milliseconds(entry.value("delay_ms", 0));
  return answer;
}

FakeLlm::FakeLlm(std::vector<LlmAnswer> script) : script_(std::move(script)) {
  server_.Post("/v1/chat/completions", [this](const httplib::Request& request,
                                              httplib::Response& response) {
    LlmAnswer answer;
    {
      std::lock_guard lock(mutex_);
      requests_.push_back({request.path, request.get_header_value("Authorization"), request.body});
      answer = next_ < script_.size() ? script_[next_++]
                                      : error_answer(500, "the fake's script is exhausted");
    }
    // Sleep in small steps so that stopping the fake never waits for a slow answer.
    const auto until = std::chrono::steady_clock::now() + answer.delay;
    while (std::chrono::steady_clock::now() < until && !stopping_) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    response.status = answer.status;
    for (const auto& [name, value] : answer.headers) response.set_header(name, value);
    response.set_content(answer.body, "application/json");
  });
  running_ = std::make_unique<LoopbackServer>(server_);
}

FakeLlm::~FakeLlm() {
  stopping_ = true;
  running_.reset();
}

std::vector<LlmRequest> FakeLlm::requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

}  // namespace fakes
