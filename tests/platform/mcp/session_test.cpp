// The protocol engine line by line, without threads or pipes: what each message is answered
// with, and what is not answered at all.
#include "platform/mcp/internal/session.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/json/ordered_json.hpp"
#include "tests/platform/mcp/test_tools.hpp"

namespace platform::mcp::internal {
namespace {

using osa_test::mcp::echo_tool;
using osa_test::mcp::failing_tool;

// A session whose answers are collected and whose tool calls wait until `run_jobs`.
class SessionTest : public ::testing::Test {
 protected:
  SessionTest() { start({echo_tool(), failing_tool()}); }

  void start(std::vector<Tool> tools, std::shared_ptr<void> lifespan_context = nullptr) {
    std::vector<std::shared_ptr<const Tool>> shared;
    for (auto& tool : tools) shared.push_back(std::make_shared<const Tool>(std::move(tool)));
    session_ = std::make_shared<Session>(
        ServerInfo{"cortex_agent", "0.1.3"}, shared, std::move(lifespan_context),
        [this](const Json& message) { sent_.push_back(to_line(message)); },
        [this](std::function<void()> job) { jobs_.push_back(std::move(job)); }, kMaxCallsInFlight);
  }

  static constexpr std::size_t kMaxCallsInFlight = 3;

  // Every line sent since the last call.
  std::vector<Json> take() {
    std::vector<Json> messages;
    for (const auto& line : sent_) {
      EXPECT_EQ(line.find('\n'), std::string::npos) << line;
      messages.push_back(Json::parse(line));
    }
    sent_.clear();
    return messages;
  }

  // The one answer to `line` (tool calls run at once).
  Json answer(const std::string& line) {
    session_->handle_line(line);
    run_jobs();
    auto messages = take();
    EXPECT_EQ(messages.size(), 1u) << line;
    return messages.empty() ? Json() : messages[0];
  }

  void run_jobs() {
    auto jobs = std::move(jobs_);
    jobs_.clear();
    for (auto& job : jobs) job();
  }

  void initialize() {
    answer(
        R"({"jsonrpc":"2.0","id":0,"method":"initialize","params":{"protocolVersion":"2025-06-18","capabilities":{},"clientInfo":{"name":"t","version":"1"}}})");
    session_->handle_line(R"({"jsonrpc":"2.0","method":"notifications/initialized"})");
  }

  Json call(const Json& id, const Json& params) {
    return answer(
        Json{{"jsonrpc", "2.0"}, {"id", id}, {"method", "tools/call"}, {"params", params}}.dump());
  }

  std::shared_ptr<Session> session_;
  std::vector<std::string> sent_;
  std::vector<std::function<void()>> jobs_;
};

Json error_of(int id_or_null, int code) {
  return Json{{"id", id_or_null < 0 ? Json() : Json(id_or_null)}, {"code", code}};
}

Json id_and_code(const Json& reply) {
  return Json{{"id", reply["id"]}, {"code", reply["error"]["code"]}};
}

TEST_F(SessionTest, InitializeAnswersTheClientsVersionWhenSupportedElseTheNewest) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"2024-11-05", "2024-11-05"}, {"2025-03-26", "2025-03-26"}, {"2025-06-18", "2025-06-18"},
      {"2025-11-25", "2025-11-25"}, {"2024-10-07", "2025-11-25"}, {"2099-01-01", "2025-11-25"}};
  for (const auto& [asked, answered] : cases) {
    SCOPED_TRACE(asked);
    start({echo_tool()});
    const Json reply = answer(
        R"({"jsonrpc":"2.0","id":"init","method":"initialize","params":{"protocolVersion":")" +
        asked + R"(","capabilities":{},"clientInfo":{"name":"c","version":"1"}}})");
    EXPECT_EQ(reply.dump(),
              Json({{"jsonrpc", "2.0"},
                    {"id", "init"},
                    {"result",
                     {{"protocolVersion", answered},
                      {"capabilities", {{"tools", {{"listChanged", false}}}}},
                      {"serverInfo", {{"name", "cortex_agent"}, {"version", "0.1.3"}}}}}})
                  .dump());
  }
}

TEST_F(SessionTest, OnlyInitializeAndPingAreServedBeforeInitialize) {
  EXPECT_EQ(answer(R"({"jsonrpc":"2.0","id":1,"method":"ping"})")["result"], Json::object());
  EXPECT_EQ(id_and_code(answer(R"({"jsonrpc":"2.0","id":2,"method":"tools/list"})")),
            error_of(2, -32600));
  EXPECT_EQ(
      id_and_code(answer(
          R"({"jsonrpc":"2.0","id":3,"method":"tools/call","params":{"name":"echo","arguments":{"text":"x"}}})")),
      error_of(3, -32600));
  EXPECT_EQ(id_and_code(answer(R"({"jsonrpc":"2.0","id":4,"method":"resources/list"})")),
            error_of(4, -32601));
  EXPECT_EQ(id_and_code(answer(R"({"jsonrpc":"2.0","id":5,"method":"initialize","params":{}})")),
            error_of(5, -32602));
  initialize();
  EXPECT_EQ(answer(R"({"jsonrpc":"2.0","id":6,"method":"tools/list"})")["result"]["tools"].size(),
            2u);
  EXPECT_EQ(
      id_and_code(answer(
          R"({"jsonrpc":"2.0","id":7,"method":"initialize","params":{"protocolVersion":"2025-06-18"}})")),
      error_of(7, -32600));
}

TEST_F(SessionTest, ToolsListGivesNameDescriptionAndSchemas) {
  initialize();
  const Json tools =
      answer(R"({"jsonrpc":"2.0","id":1,"method":"tools/list","params":{}})")["result"]["tools"];
  EXPECT_EQ(tools[0].dump(), Json({{"name", "echo"},
                                   {"description", "Echoes its text."},
                                   {"inputSchema", osa_test::mcp::echo_schema()},
                                   {"outputSchema", {{"type", "object"}}}})
                                 .dump());
  EXPECT_FALSE(tools[1].contains("outputSchema"));
}

TEST_F(SessionTest, AResultIsStructuredContentAndItsCompactJsonText) {
  initialize();
  const Json reply = call(9, {{"name", "echo"}, {"arguments", {{"text", "caf\u00e9 \"\n"}}}});
  EXPECT_EQ(reply["id"], 9);
  const Json& result = reply["result"];
  EXPECT_EQ(result["structuredContent"], Json({{"text", "caf\u00e9 \"\n"}}));
  EXPECT_EQ(result["content"].dump(),
            Json::array({{{"type", "text"}, {"text", "{\"text\":\"caf\u00e9 \\\"\\n\"}"}}}).dump());
  EXPECT_EQ(result["isError"], false);
}

TEST_F(SessionTest, AnExceptionFromTheHandlerIsAnErrorResultHoldingItsMessage) {
  initialize();
  const Json result = call("a", {{"name", "fail"}, {"arguments", Json::object()}})["result"];
  EXPECT_EQ(result.dump(),
            Json({{"content",
                   {{{"type", "text"},
                     {"text", "Error executing tool fail: " + osa_test::mcp::kFailureMessage}}}},
                  {"isError", true}})
                .dump());
}

TEST_F(SessionTest, ArgumentsThatBreakTheSchemaAreAnErrorResultNamingTheProblem) {
  initialize();
  const std::vector<std::pair<Json, std::string>> cases = {
      {Json::object(), "missing required argument 'text'"},
      {{{"text", 1}}, "argument 'text' must be of type string"},
      {{{"text", "x"}, {"tags", "y"}}, "argument 'tags' must be of type array"},
      {{{"text", "x"}, {"tags", {"a", 2}}}, "argument 'tags' item 1 must be of type string"},
      {{{"text", "x"}, {"delay_ms", 1.5}}, "argument 'delay_ms' must be of type integer"},
      {{{"text", "x"}, {"other", 1}}, "unexpected argument 'other'"},
  };
  for (const auto& [arguments, problem] : cases) {
    SCOPED_TRACE(arguments.dump());
    const Json result = call(1, {{"name", "echo"}, {"arguments", arguments}})["result"];
    EXPECT_EQ(result["isError"], true);
    EXPECT_EQ(result["content"][0]["text"],
              "Error executing tool echo: invalid arguments: " + problem);
    EXPECT_TRUE(jobs_.empty());
  }
  EXPECT_EQ(call(2, {{"name", "echo"},
                     {"arguments", {{"text", "x"}, {"delay_ms", 2.0}}}})["result"]["isError"],
            false);
}

TEST_F(SessionTest, AResultThatIsNotAnObjectIsAnErrorResult) {
  start({{.name = "number",
          .input_schema = Json{{"type", "object"}},
          .handler = [](const Json&, RequestContext&) { return Json(3); }}});
  initialize();
  EXPECT_EQ(call(1, {{"name", "number"}})["result"]["content"][0]["text"],
            "Error executing tool number: the tool returned number instead of an object");
}

TEST_F(SessionTest, TextThatIsNotUtf8LeavesAsReplacementCharacters) {
  start({{.name = "bytes",
          .input_schema = Json{{"type", "object"}},
          .handler = [](const Json&, RequestContext&) {
            return Json{{"text",
                         "a\xff"
                         "b"}};
          }}});
  initialize();
  const Json result = call(1, {{"name", "bytes"}})["result"];
  EXPECT_EQ(result["structuredContent"]["text"],
            "a\xEF\xBF\xBD"
            "b");
}

TEST_F(SessionTest, IntegersBeyondSixtyFourBitsLeaveWithEveryDigit) {
  start({{.name = "rows",
          .input_schema = Json{{"type", "object"}},
          .handler = [](const Json&, RequestContext&) {
            return Json{
                {"n", platform::json::exact_number(BigInt{"-123456789012345678901234567890"})}};
          }}});
  initialize();
  sent_.clear();
  session_->handle_line(
      R"({"jsonrpc":"2.0","id":1,"method":"tools/call","params":{"name":"rows"}})");
  run_jobs();
  ASSERT_EQ(sent_.size(), 1u);
  EXPECT_NE(sent_[0].find(R"("structuredContent":{"n":-123456789012345678901234567890})"),
            std::string::npos)
      << sent_[0];
  EXPECT_NE(sent_[0].find(R"("text":"{\"n\":-123456789012345678901234567890}")"), std::string::npos)
      << sent_[0];
}

TEST_F(SessionTest, EveryProtocolErrorHasItsCodeAndTheIdWhenThereIsOne) {
  initialize();
  const std::vector<std::pair<std::string, Json>> cases = {
      {R"({"jsonrpc":"2.0","id":1,"method":"ping")", error_of(-1, -32700)},
      {"{\"jsonrpc\":\"2.0\",\"id\":1,\"method\":\"p\xC3\x28\"}", error_of(-1, -32700)},
      {R"({"jsonrpc":"2.0","id":1,"method":"\ud800"})", error_of(-1, -32700)},
      {std::string(200, '[') + std::string(200, ']'), error_of(-1, -32700)},
      {R"({"jsonrpc":"2.0","id":1e999,"method":"ping"})", error_of(-1, -32700)},
      {"8E888", error_of(-1, -32700)},
      {"42", error_of(-1, -32600)},
      {R"("ping")", error_of(-1, -32600)},
      {R"({"jsonrpc":"2.0","id":2})", error_of(2, -32600)},
      {R"({"jsonrpc":"1.0","id":3,"method":"ping"})", error_of(3, -32600)},
      {R"({"id":4,"method":"ping"})", error_of(4, -32600)},
      {R"({"jsonrpc":"2.0","id":5,"method":7})", error_of(5, -32600)},
      {R"({"jsonrpc":"2.0","id":null,"method":"ping"})", error_of(-1, -32600)},
      {R"({"jsonrpc":"2.0","id":true,"method":"ping"})", error_of(-1, -32600)},
      {R"({"jsonrpc":"2.0","id":{"a":1},"method":"ping"})", error_of(-1, -32600)},
      {R"({"jsonrpc":"2.0","id":6,"method":"tools/list","params":[1]})", error_of(6, -32602)},
      {R"({"jsonrpc":"2.0","id":7,"method":"nope"})", error_of(7, -32601)},
      {R"({"jsonrpc":"2.0","id":8,"method":"tools/call","params":{"name":"nope"}})",
       error_of(8, -32602)},
      {R"({"jsonrpc":"2.0","id":9,"method":"tools/call","params":{}})", error_of(9, -32602)},
      {R"({"jsonrpc":"2.0","id":10,"method":"tools/call","params":{"name":"echo","arguments":[1]}})",
       error_of(10, -32602)},
      {R"({"jsonrpc":"2.0","id":11,"method":"tools/call","params":{"name":"echo","arguments":"x"}})",
       error_of(11, -32602)},
  };
  for (const auto& [line, expected] : cases) {
    SCOPED_TRACE(line);
    const Json reply = answer(line);
    EXPECT_EQ(reply["jsonrpc"], "2.0");
    EXPECT_TRUE(reply["error"]["message"].is_string());
    EXPECT_EQ(id_and_code(reply), expected);
  }
  EXPECT_EQ(answer(R"({"jsonrpc":"2.0","id":12,"method":"ping"})")["result"], Json::object());
}

TEST_F(SessionTest, NotificationsResponsesAndBlankLinesGetNoAnswer) {
  initialize();
  for (const std::string line :
       {R"({"jsonrpc":"2.0","method":"notifications/whatever"})",
        R"({"jsonrpc":"2.0","method":"tools/list","params":[1]})",
        R"({"jsonrpc":"2.0","method":"notifications/cancelled","params":{"requestId":99}})",
        R"({"jsonrpc":"2.0","method":"notifications/cancelled","params":{"requestId":[1]}})",
        R"({"jsonrpc":"2.0","method":"notifications/cancelled"})",
        R"({"jsonrpc":"2.0","id":5,"result":{}})", R"({"jsonrpc":"2.0","id":6,"error":{}})", "",
        "  \r", "\t"}) {
    session_->handle_line(line);
  }
  EXPECT_TRUE(take().empty());
}

TEST_F(SessionTest, ABatchGetsAnErrorForEveryMemberThatWouldBeAnswered) {
  initialize();
  EXPECT_EQ(id_and_code(answer("[]")), error_of(-1, -32600));
  const Json replies = answer(
      R"([{"jsonrpc":"2.0","id":1,"method":"ping"},{"jsonrpc":"2.0","method":"notifications/initialized"},)"
      R"({"jsonrpc":"2.0","id":"b","method":"tools/list"},5,{"jsonrpc":"2.0","id":7,"result":{}}])");
  ASSERT_TRUE(replies.is_array());
  ASSERT_EQ(replies.size(), 3u);
  EXPECT_EQ(id_and_code(replies[0]), error_of(1, -32600));
  EXPECT_EQ(replies[1]["id"], "b");
  EXPECT_EQ(id_and_code(replies[2]), error_of(-1, -32600));
  session_->handle_line(R"([{"jsonrpc":"2.0","method":"notifications/initialized"}])");
  EXPECT_TRUE(take().empty());
  EXPECT_TRUE(jobs_.empty());
  EXPECT_EQ(answer(R"({"jsonrpc":"2.0","id":2,"method":"ping"})")["id"], 2);
}

TEST_F(SessionTest, ACancelledCallIsNotAnsweredAndItsIdCanBeUsedAgain) {
  initialize();
  session_->handle_line(
      R"({"jsonrpc":"2.0","id":1,"method":"tools/call","params":{"name":"echo","arguments":{"text":"a"}}})");
  session_->handle_line(
      R"({"jsonrpc":"2.0","id":"1","method":"tools/call","params":{"name":"echo","arguments":{"text":"b"}}})");
  session_->handle_line(
      R"({"jsonrpc":"2.0","id":1,"method":"tools/call","params":{"name":"echo","arguments":{"text":"c"}}})");
  const auto duplicate = take();
  ASSERT_EQ(duplicate.size(), 1u);
  EXPECT_EQ(id_and_code(duplicate[0]), error_of(1, -32600));
  session_->handle_line(
      R"({"jsonrpc":"2.0","method":"notifications/cancelled","params":{"requestId":1,"reason":"user"}})");
  run_jobs();
  const auto messages = take();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0]["id"], "1");  // the string id is another call
  EXPECT_EQ(messages[0]["result"]["structuredContent"]["text"], "b");
  EXPECT_EQ(call(1, {{"name", "echo"},
                     {"arguments", {{"text", "d"}}}})["result"]["structuredContent"]["text"],
            "d");
  // Cancelling a call that has been answered changes nothing.
  session_->handle_line(
      R"({"jsonrpc":"2.0","method":"notifications/cancelled","params":{"requestId":1}})");
  EXPECT_TRUE(take().empty());
}

TEST_F(SessionTest, CallsWaitingWhenTheServerStopsAreAnsweredWithoutRunning) {
  int runs = 0;
  start({{.name = "count",
          .input_schema = Json{{"type", "object"}},
          .handler = [&runs](const Json&, RequestContext&) {
            ++runs;
            return Json::object();
          }}});
  initialize();
  session_->handle_line(
      R"({"jsonrpc":"2.0","id":1,"method":"tools/call","params":{"name":"count"}})");
  session_->cancel_all();
  run_jobs();
  EXPECT_EQ(runs, 0);
  const auto messages = take();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0]["result"]["content"][0]["text"],
            "Error executing tool count: the server is shutting down");
}

TEST_F(SessionTest, ArgumentsTheSchemaDoesNotNameNeverReachTheHandler) {
  start({{.name = "show",
          .input_schema = Json::parse(R"({"type":"object","properties":{"query":{}}})"),
          .handler = [](const Json& arguments, RequestContext&) { return arguments; }}});
  initialize();
  const Json extra = Json::array({Json::array(), Json::array(), Json::object()});
  EXPECT_EQ(
      call(1, {{"name", "show"},
               {"arguments", {{"query", "q"}, {"padding", extra}}}})["result"]["structuredContent"],
      Json({{"query", "q"}}));
}

TEST_F(SessionTest, CallsBeyondTheLimitInFlightAreRefusedAsBusyUntilOneIsAnswered) {
  initialize();
  const auto send_call = [this](int id) {
    session_->handle_line(Json{{"jsonrpc", "2.0"},
                               {"id", id},
                               {"method", "tools/call"},
                               {"params", {{"name", "echo"}, {"arguments", {{"text", "t"}}}}}}
                              .dump());
  };
  for (int id = 1; id <= static_cast<int>(kMaxCallsInFlight) + 1; ++id) send_call(id);
  auto refused = take();
  ASSERT_EQ(refused.size(), 1u);
  EXPECT_EQ(refused[0]["id"], kMaxCallsInFlight + 1);
  EXPECT_EQ(refused[0]["result"]["content"][0]["text"],
            "Error executing tool echo: the server is busy (3 calls in flight); try again later");
  // A cancelled call still runs until it ends, so it still counts.
  session_->handle_line(
      R"({"jsonrpc":"2.0","method":"notifications/cancelled","params":{"requestId":1}})");
  send_call(10);
  EXPECT_EQ(take().size(), 1u);
  run_jobs();
  EXPECT_EQ(take().size(), kMaxCallsInFlight - 1);
  send_call(11);
  run_jobs();
  EXPECT_EQ(take().at(0)["result"]["structuredContent"]["text"], "t");
}

TEST_F(SessionTest, TheHandlerSeesTheLifespanContextAndTheRequestId) {
  auto lifespan = std::make_shared<std::string>("resources");
  std::string seen;
  Json seen_id;
  start({{.name = "look",
          .input_schema = Json{{"type", "object"}},
          .handler =
              [&](const Json&, RequestContext& context) {
                seen = context.lifespan_context<std::string>();
                seen_id = context.request_id();
                return Json::object();
              }}},
        lifespan);
  initialize();
  call("req-7", {{"name", "look"}});
  EXPECT_EQ(seen, "resources");
  EXPECT_EQ(seen_id, "req-7");
}

}  // namespace
}  // namespace platform::mcp::internal
