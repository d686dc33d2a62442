// The protocol engine of one server run, without any file descriptor: it takes one input line
// at a time, answers through `send`, and hands tool calls to `submit`. The server drives it
// from its reading thread; tests and the fuzzer drive it directly.
//
//   auto session = std::make_shared<Session>(info, tools, lifespan_context, send, submit, 20);
//   session->handle_line(R"({"jsonrpc":"2.0","id":1,"method":"ping"})");
//
// `handle_line` and `handle_oversized_line` are called from one thread. A submitted job may run
// on any thread, also after the session's owner has let it go (the job keeps it alive); it
// answers through `send`, which must therefore be safe to call from several threads.
#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/mcp/internal/json_rpc.hpp"
#include "platform/mcp/server.hpp"

namespace platform::mcp::internal {

// The protocol versions this server speaks, oldest first.
extern const std::vector<std::string> kSupportedVersions;

class Session : public std::enable_shared_from_this<Session> {
 public:
  using Send = std::function<void(const Json& message)>;
  using Submit = std::function<void(std::function<void()> job)>;

  // A call that finds `max_calls_in_flight` calls submitted and not yet answered is refused as
  // busy.
  Session(ServerInfo info, std::vector<std::shared_ptr<const Tool>> tools,
          std::shared_ptr<void> lifespan_context, Send send, Submit submit,
          std::size_t max_calls_in_flight);

  void handle_line(std::string_view line);
  // A line longer than the limit: answered like a parse error.
  void handle_oversized_line();
  // The server is stopping: every call in flight sees `cancelled()`; their answers still go out.
  void cancel_all();

 private:
  struct Call {
    std::shared_ptr<std::atomic<bool>> cancelled;
    bool answer_dropped = false;
  };

  // The reply to one message, or null when it gets none. Parts of `message` may be moved out.
  Json reply_to(Json& message);
  Json reply_to_batch(const Json& batch);
  Json reply_to_request(const Json& id, const std::string& method, Json& params);
  void handle_notification(const std::string& method, const Json& params);

  Json initialize(const Json& id, const Json& params);
  Json list_tools(const Json& id) const;
  Json call_tool(const Json& id, Json& params);
  void cancel(const Json& params);
  void run_call(const Tool& tool, const Json& id, const Json& arguments,
                const std::shared_ptr<std::atomic<bool>>& cancelled);

  ServerInfo info_;
  std::vector<std::shared_ptr<const Tool>> tools_;
  std::shared_ptr<void> lifespan_context_;
  Send send_;
  Submit submit_;
  std::size_t max_calls_in_flight_;
  bool initialized_ = false;

  std::mutex calls_mutex_;
  std::map<std::string, Call> calls_;
};

}  // namespace platform::mcp::internal
