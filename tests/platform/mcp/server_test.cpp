// The whole server through pipes, as a client process sees it: concurrency, cancellation,
// input that is too long or not UTF-8, and how it stops.
#include "platform/mcp/server.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <thread>

#include "tests/platform/mcp/test_tools.hpp"

namespace platform::mcp {
namespace {

using namespace std::chrono_literals;
using osa_test::mcp::echo_tool;
using osa_test::mcp::failing_tool;
using osa_test::mcp::Json;

// Runs `server` on its own thread, reading from and writing to pipes the test holds.
class PipeClient {
 public:
  explicit PipeClient(Server& server, RunOptions options = {}) {
    int input[2], output[2];
    EXPECT_EQ(::pipe2(input, O_CLOEXEC), 0);
    EXPECT_EQ(::pipe2(output, O_CLOEXEC), 0);
    to_server_ = input[1];
    from_server_ = output[0];
    options.input_fd = input[0];
    options.output_fd = output[1];
    server_thread_ = std::thread([&server, options] {
      server.run(options);
      ::close(options.input_fd);
      ::close(options.output_fd);
    });
  }
  ~PipeClient() {
    close_input();
    wait();
    ::close(from_server_);
  }

  void write_raw(std::string_view bytes) {
    while (!bytes.empty()) {
      const ssize_t written = ::write(to_server_, bytes.data(), bytes.size());
      ASSERT_GT(written, 0);
      bytes.remove_prefix(static_cast<std::size_t>(written));
    }
  }
  void send(const Json& message) { write_raw(message.dump() + "\n"); }

  // The next message, or null when none comes within `timeout` or the output ended.
  Json receive(std::chrono::milliseconds timeout = 5s) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
      if (const auto end = buffered_.find('\n'); end != std::string::npos) {
        const std::string line = buffered_.substr(0, end);
        buffered_.erase(0, end + 1);
        return Json::parse(line);
      }
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      pollfd ready{from_server_, POLLIN, 0};
      if (left.count() <= 0 || ::poll(&ready, 1, static_cast<int>(left.count())) <= 0) {
        return nullptr;
      }
      char chunk[65536];
      const ssize_t got = ::read(from_server_, chunk, sizeof chunk);
      if (got <= 0) return nullptr;
      buffered_.append(chunk, static_cast<std::size_t>(got));
    }
  }

  void initialize() {
    send(request(0, "initialize",
                 {{"protocolVersion", "2025-06-18"},
                  {"capabilities", Json::object()},
                  {"clientInfo", {{"name", "test"}, {"version", "1"}}}}));
    EXPECT_EQ(receive()["id"], 0);
    send({{"jsonrpc", "2.0"}, {"method", "notifications/initialized"}});
  }

  void close_input() {
    if (to_server_ >= 0) ::close(to_server_);
    to_server_ = -1;
  }
  void wait() {
    if (server_thread_.joinable()) server_thread_.join();
  }
  bool output_ended() {
    pollfd ready{from_server_, POLLIN, 0};
    char byte;
    return ::poll(&ready, 1, 5000) == 1 && ::read(from_server_, &byte, 1) == 0;
  }

  static Json request(const Json& id, const std::string& method, Json params = Json::object()) {
    return {{"jsonrpc", "2.0"}, {"id", id}, {"method", method}, {"params", std::move(params)}};
  }
  static Json echo(const Json& id, const std::string& text, int delay_ms = 0) {
    return request(id, "tools/call",
                   {{"name", "echo"}, {"arguments", {{"text", text}, {"delay_ms", delay_ms}}}});
  }

 private:
  int to_server_ = -1;
  int from_server_ = -1;
  std::string buffered_;
  std::thread server_thread_;
};

// Waits up to five seconds for `flag`.
void wait_for(const std::atomic<bool>& flag) {
  for (int wait = 0; wait < 500 && !flag; ++wait) std::this_thread::sleep_for(10ms);
}

RunOptions quiet(RunOptions options = {}) {
  options.handle_signals = false;
  return options;
}

// A lifespan whose context sets `released` when it is destroyed.
Lifespan lifespan_noting_release(std::atomic<bool>& released) {
  return [&released] {
    return std::shared_ptr<void>(new int(1), [&released](void* value) {
      delete static_cast<int*>(value);
      released = true;
    });
  };
}

std::unique_ptr<Server> echo_server(Lifespan lifespan = {}) {
  auto server = std::make_unique<Server>(ServerInfo{"cortex_agent", "0.1.3"}, std::move(lifespan));
  server->add_tool(echo_tool());
  server->add_tool(failing_tool());
  return server;
}

TEST(ServerTest, AnswersPingWhileSlowCallsRun) {
  const auto server = echo_server();
  PipeClient client(*server, quiet());
  client.initialize();
  client.send(PipeClient::echo(1, "slow", 5000));
  client.send(PipeClient::echo(2, "slow too", 5000));
  const auto asked = std::chrono::steady_clock::now();
  client.send(PipeClient::request(3, "ping"));
  EXPECT_EQ(client.receive()["id"], 3);
  EXPECT_LT(std::chrono::steady_clock::now() - asked, 2s);
  client.send(PipeClient::echo(4, "quick"));
  EXPECT_EQ(client.receive()["id"], 4);
  client.send(
      {{"jsonrpc", "2.0"}, {"method", "notifications/cancelled"}, {"params", {{"requestId", 1}}}});
  client.send(
      {{"jsonrpc", "2.0"}, {"method", "notifications/cancelled"}, {"params", {{"requestId", 2}}}});
  client.send(PipeClient::request(5, "ping"));
  EXPECT_EQ(client.receive()["id"], 5);
  // The cancelled calls' answers never come.
  EXPECT_TRUE(client.receive(300ms).is_null());
}

TEST(ServerTest, ConcurrentAnswersAreWholeLines) {
  const auto server = echo_server();
  PipeClient client(*server, quiet());
  client.initialize();
  const std::string big(200000, 'x');
  for (int id = 1; id <= 20; ++id) client.send(PipeClient::echo(id, big + std::to_string(id)));
  std::set<int> answered;
  for (int index = 0; index < 20; ++index) {
    const Json reply = client.receive();
    ASSERT_FALSE(reply.is_null());
    const int id = reply["id"].get<int>();
    EXPECT_EQ(reply["result"]["structuredContent"]["text"], big + std::to_string(id));
    answered.insert(id);
  }
  EXPECT_EQ(answered.size(), 20u);
}

TEST(ServerTest, ServesALineUpToTheLimitAndRefusesALongerOneWithoutStopping) {
  const auto server = echo_server();
  RunOptions options = quiet();
  options.max_message_bytes = 4 << 20;
  PipeClient client(*server, options);
  client.initialize();
  const std::string under_limit =
      PipeClient::echo(1, std::string((4 << 20) - 200, 'b')).dump() + "\r\n";
  const std::string too_long = R"({"jsonrpc":"2.0","id":2,"method":"ping","params":{"pad":")" +
                               std::string(8 << 20, 'a') + "\"}}\n";
  // From another thread: a pipe holds far less than these lines.
  std::thread writer([&] {
    client.write_raw(under_limit);
    client.write_raw(too_long);
    client.send(PipeClient::request(3, "ping"));
  });
  std::map<std::string, Json> replies;  // by id
  for (int index = 0; index < 3; ++index) {
    const Json reply = client.receive();
    replies[reply["id"].dump()] = reply;
  }
  writer.join();
  EXPECT_EQ(replies["1"]["result"]["isError"], false);
  EXPECT_EQ(replies["null"]["error"]["code"], -32700);
  EXPECT_EQ(replies["null"]["error"]["message"], "Parse error: message too long");
  EXPECT_TRUE(replies.contains("3"));
}

TEST(ServerTest, BytesThatAreNotUtf8AreAParseErrorAndServingGoesOn) {
  const auto server = echo_server();
  PipeClient client(*server, quiet());
  client.initialize();
  client.write_raw("{\"jsonrpc\":\"2.0\",\"id\":1,\"method\":\"\xff\xfe\"}\n\x80\x81\n");
  EXPECT_EQ(client.receive()["error"]["code"], -32700);
  EXPECT_EQ(client.receive()["error"]["code"], -32700);
  client.send(PipeClient::request(2, "ping"));
  EXPECT_EQ(client.receive()["id"], 2);
}

TEST(ServerTest, EndOfInputLetsTheRunningCallFinishThenLeavesTheLifespan) {
  std::atomic<bool> released{false};
  const auto server = echo_server(lifespan_noting_release(released));
  PipeClient client(*server, quiet());
  client.initialize();
  client.send(PipeClient::echo(1, "last words", 300));
  client.write_raw(PipeClient::request(2, "ping").dump());  // a last line without its line feed
  client.close_input();
  EXPECT_EQ(client.receive()["id"], 2);
  const Json answer = client.receive();
  EXPECT_EQ(answer["result"]["structuredContent"], Json({{"text", "last words"}}));
  client.wait();
  EXPECT_TRUE(released);
  EXPECT_TRUE(client.output_ended());
}

// A tool that runs until its call is cancelled; `started` turns true when it runs.
Tool until_cancelled_tool(std::atomic<bool>& started) {
  return {.name = "until_cancelled",
          .input_schema = Json{{"type", "object"}},
          .handler = [&started](const Json&, RequestContext& context) {
            started = true;
            while (!context.cancelled()) std::this_thread::sleep_for(1ms);
            return Json{{"stopped", true}};
          }};
}

// A lifespan whose `leave` sets `left` and whose context sets `released` when it is destroyed.
Lifespan lifespan_noting_leave(std::atomic<bool>& left, std::atomic<bool>& released) {
  return [&left, &released] {
    return LifespanScope(lifespan_noting_release(released)().context, [&left] { left = true; });
  };
}

std::chrono::steady_clock::duration time_to_stop(PipeClient& client) {
  const auto began = std::chrono::steady_clock::now();
  client.wait();
  return std::chrono::steady_clock::now() - began;
}

TEST(ServerTest, ACallOutlastingTheGraceTimeIsCancelledAnsweredAndThenTheLifespanIsLeft) {
  std::atomic<bool> started{false};
  std::atomic<bool> released{false};
  Server server({"cortex_agent", "0.1.3"}, lifespan_noting_release(released));
  server.add_tool(until_cancelled_tool(started));
  RunOptions options = quiet();
  options.shutdown_grace = 100ms;
  PipeClient client(server, options);
  client.initialize();
  client.send(PipeClient::request(1, "tools/call", {{"name", "until_cancelled"}}));
  wait_for(started);
  client.close_input();
  const Json answer = client.receive();
  EXPECT_EQ(answer["result"]["structuredContent"], Json({{"stopped", true}})) << answer;
  EXPECT_LT(time_to_stop(client), 3s);
  EXPECT_TRUE(released);
}

TEST(ServerTest, ACallThatIgnoresCancellationDoesNotKeepTheLifespanFromBeingLeft) {
  std::atomic<bool> started{false};
  std::atomic<bool> finish{false};
  std::atomic<bool> left{false};
  std::atomic<bool> released{false};
  Server server({"cortex_agent", "0.1.3"}, lifespan_noting_leave(left, released));
  server.add_tool({.name = "stuck",
                   .input_schema = Json{{"type", "object"}},
                   .handler = [&](const Json&, RequestContext& context) {
                     started = true;
                     while (!finish) std::this_thread::sleep_for(1ms);
                     EXPECT_TRUE(context.cancelled());
                     return Json::object();
                   }});
  RunOptions options = quiet();
  options.shutdown_grace = 100ms;
  options.cancel_grace = 100ms;
  {
    PipeClient client(server, options);
    client.initialize();
    client.send(PipeClient::request(1, "tools/call", {{"name", "stuck"}}));
    wait_for(started);
    client.close_input();
    EXPECT_LT(time_to_stop(client), 3s);
    EXPECT_TRUE(left);
    // The stuck call still holds the context's memory, so it is not freed under it.
    EXPECT_FALSE(released);
    EXPECT_TRUE(client.output_ended());
  }
  finish = true;
  wait_for(released);
  EXPECT_TRUE(released);
}

TEST(ServerTest, AStopSignalDuringTheGraceTimeCancelsTheCallsAtOnce) {
  std::atomic<bool> started{false};
  Server server({"cortex_agent", "0.1.3"});
  server.add_tool(until_cancelled_tool(started));
  PipeClient client(server);  // handles signals; the grace time is the default 30 s
  client.initialize();
  client.send(PipeClient::request(1, "tools/call", {{"name", "until_cancelled"}}));
  wait_for(started);
  client.close_input();
  std::this_thread::sleep_for(200ms);
  ::kill(::getpid(), SIGTERM);
  EXPECT_EQ(client.receive()["result"]["structuredContent"], Json({{"stopped", true}}));
  EXPECT_LT(time_to_stop(client), 5s);
}

TEST(ServerTest, AClientThatDoesNotReadCannotKeepAStopSignalFromStoppingTheServer) {
  const auto server = echo_server();
  RunOptions options;  // handles signals
  options.output_drain = 200ms;
  PipeClient client(*server, options);
  client.initialize();
  // Far more answers than the pipe holds, none of them read.
  const std::string text(64 << 10, 'x');
  for (int id = 1; id <= 20; ++id) client.send(PipeClient::echo(id, text));
  std::this_thread::sleep_for(300ms);
  ::kill(::getpid(), SIGTERM);
  auto stopped = std::async(std::launch::async, [&client] { client.wait(); });
  EXPECT_EQ(stopped.wait_for(5s), std::future_status::ready) << "run blocked on its output";
  while (stopped.wait_for(0s) != std::future_status::ready) client.receive(100ms);
}

TEST(ServerTest, ABusyServerRefusesNewCallsInsteadOfQueueingThem) {
  const auto server = echo_server();
  RunOptions options = quiet();
  options.worker_threads = 1;
  options.max_queued_calls = 1;
  PipeClient client(*server, options);
  client.initialize();
  for (int id = 1; id <= 3; ++id) client.send(PipeClient::echo(id, "t" + std::to_string(id), 300));
  std::map<int, Json> answers;
  for (int index = 0; index < 3; ++index) {
    const Json answer = client.receive();
    ASSERT_TRUE(answer.is_object());
    answers[answer["id"].get<int>()] = answer["result"];
  }
  EXPECT_EQ(answers[1]["structuredContent"], Json({{"text", "t1"}}));
  EXPECT_EQ(answers[2]["structuredContent"], Json({{"text", "t2"}}));
  EXPECT_EQ(answers[3]["isError"], true);
  EXPECT_EQ(answers[3]["content"][0]["text"],
            "Error executing tool echo: the server is busy (2 calls in flight); try again later");
  // Once the queue has room, calls are taken again.
  client.send(PipeClient::echo(4, "t4"));
  EXPECT_EQ(client.receive()["result"]["structuredContent"], Json({{"text", "t4"}}));
}

TEST(ServerTest, SigtermCancelsTheRunningCallAndDoesNotStartWaitingOnes) {
  std::atomic<bool> started{false};
  Server server({"cortex_agent", "0.1.3"});
  server.add_tool({.name = "until_cancelled",
                   .input_schema = Json{{"type", "object"}},
                   .handler = [&started](const Json&, RequestContext& context) {
                     started = true;
                     while (!context.cancelled()) std::this_thread::sleep_for(1ms);
                     return Json{{"stopped", true}};
                   }});
  RunOptions options;  // handles signals
  options.worker_threads = 1;
  PipeClient client(server, options);
  client.initialize();
  client.send(PipeClient::request(1, "tools/call", {{"name", "until_cancelled"}}));
  client.send(PipeClient::request(2, "tools/call", {{"name", "until_cancelled"}}));
  wait_for(started);
  ASSERT_TRUE(started);
  ::kill(::getpid(), SIGTERM);
  std::map<int, Json> answers;
  for (int index = 0; index < 2; ++index) {
    Json answer = client.receive();
    ASSERT_TRUE(answer.is_object());
    answers[answer["id"].get<int>()] = answer["result"];
  }
  EXPECT_EQ(answers[1]["structuredContent"], Json({{"stopped", true}}));
  EXPECT_EQ(answers[2]["content"][0]["text"],
            "Error executing tool until_cancelled: the server is shutting down");
  client.wait();
  // The previous disposition is back once `run` has returned.
  struct sigaction current {};
  sigaction(SIGTERM, nullptr, &current);
  EXPECT_EQ(current.sa_handler, SIG_DFL);
}

TEST(ServerTest, AClosedOutputStopsTheServerWithoutSigpipe) {
  const auto server = echo_server();
  int input[2], output[2];
  ASSERT_EQ(::pipe(input), 0);
  ASSERT_EQ(::pipe(output), 0);
  ::close(output[0]);
  const std::string line = PipeClient::request(1, "ping").dump() + "\n";
  ASSERT_EQ(::write(input[1], line.data(), line.size()), static_cast<ssize_t>(line.size()));
  RunOptions options = quiet();
  options.input_fd = input[0];
  options.output_fd = output[1];
  server->run(options);  // returns although stdin stays open
  for (const int fd : {input[0], input[1], output[1]}) ::close(fd);
}

TEST(ServerTest, ALifespanThatFailsMakesRunFailUnchanged) {
  Server server({"cortex_agent", "0.1.3"},
                []() -> std::shared_ptr<void> { throw std::runtime_error("no connection"); });
  EXPECT_THROW(
      {
        try {
          server.run(quiet());
        } catch (const std::runtime_error& error) {
          EXPECT_STREQ(error.what(), "no connection");
          throw;
        }
      },
      std::runtime_error);
}

TEST(ServerTest, AddToolRefusesWhatClientsWouldReject) {
  Server server({"cortex_agent", "0.1.3"});
  server.add_tool(echo_tool());
  EXPECT_THROW(server.add_tool(echo_tool()), std::invalid_argument);
  platform::mcp::Tool bad_output = failing_tool();
  bad_output.output_schema = Json::object();
  EXPECT_THROW(server.add_tool(bad_output), std::invalid_argument);
  platform::mcp::Tool bad_input = failing_tool();
  bad_input.input_schema = Json{{"type", "array"}};
  EXPECT_THROW(server.add_tool(bad_input), std::invalid_argument);
}

}  // namespace
}  // namespace platform::mcp
