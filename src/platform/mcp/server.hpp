// A small, strict MCP server: JSON-RPC 2.0 over standard input and output, one JSON message per
// line, UTF-8, tools only.
//
//   platform::mcp::Server server({.name = "cortex_agent", .version = "0.1.3"}, open_resources);
//   server.add_tool({.name = "run_cortex_analyst", .description = "...",
//                    .input_schema = schema, .output_schema = nlohmann::ordered_json::object(),
//                    .handler = [](const nlohmann::ordered_json& arguments,
//                                  platform::mcp::RequestContext& context) {
//                      auto& resources = context.lifespan_context<Resources>();
//                      return nlohmann::ordered_json{{"text", "..."}};
//                    }});
//   server.run();   // returns after end of input or SIGINT/SIGTERM, once the lifespan is left
//
// Protocol: `initialize` (versions 2024-11-05, 2025-03-26, 2025-06-18 and 2025-11-25; the
// client's version when supported, else the newest), `notifications/initialized`, `ping`,
// `tools/list`, `tools/call` and `notifications/cancelled`. A tool's result is returned both as
// `structuredContent` and as its JSON text in one text content block; an exception thrown by the
// handler, or arguments that break the input schema, give a result with `isError` true whose
// text holds the message. Malformed messages answer the JSON-RPC error codes (-32700, -32600,
// -32601, -32602) whenever there is an id to answer, and the server keeps serving.
//
// Only protocol messages are written to the output; logs go to standard error. Tool calls run on
// a small pool of worker threads, so `ping` and other calls are answered while one runs. A
// cancelled call's answer is dropped. At end of input or on SIGINT/SIGTERM the server stops
// taking calls, lets running calls finish within `shutdown_grace`, then destroys the lifespan
// context and returns.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace platform::mcp {

struct ServerInfo {
  std::string name;
  std::string version;
};

// What a tool handler gets for one call.
class RequestContext {
 public:
  RequestContext(std::shared_ptr<void> lifespan_context, nlohmann::ordered_json request_id,
                 std::shared_ptr<const std::atomic<bool>> cancelled);

  // The object the server's lifespan produced, as the type the lifespan made it. The caller
  // names the type; `has_lifespan_context<T>()` tells whether it is that type.
  template <typename T>
  T& lifespan_context() const {
    return *static_cast<T*>(lifespan_context_.get());
  }
  const std::shared_ptr<void>& raw_lifespan_context() const { return lifespan_context_; }
  const nlohmann::ordered_json& request_id() const { return request_id_; }
  // True once the client cancelled this call or the server is stopping.
  bool cancelled() const { return cancelled_ && cancelled_->load(); }

 private:
  std::shared_ptr<void> lifespan_context_;
  nlohmann::ordered_json request_id_;
  std::shared_ptr<const std::atomic<bool>> cancelled_;
};

using ToolHandler = std::function<nlohmann::ordered_json(const nlohmann::ordered_json& arguments,
                                                         RequestContext& context)>;

struct Tool {
  std::string name;
  std::string description;
  // A JSON Schema object; arguments are checked against its "properties" types, "items" types
  // and "required" names before the handler runs.
  nlohmann::ordered_json input_schema;
  // Listed as the tool's outputSchema when not null.
  nlohmann::ordered_json output_schema;
  // Returns the structured result (a JSON object). Runs on a worker thread.
  ToolHandler handler;
};

// Entered once when the server starts, before the first message is read. The object it returns
// is the lifespan context that every request sees; the server leaves the lifespan by releasing
// it after the last call has finished. An exception thrown here leaves `run` unchanged.
using Lifespan = std::function<std::shared_ptr<void>()>;

struct RunOptions {
  int input_fd = 0;
  int output_fd = 1;
  // A longer line is refused with a parse error and skipped without being held in memory.
  std::size_t max_message_bytes = std::size_t{64} << 20;
  std::size_t worker_threads = 4;
  // How long running calls may go on after end of input or a stop signal.
  std::chrono::milliseconds shutdown_grace{std::chrono::seconds(30)};
  // Installs SIGINT and SIGTERM handlers for the duration of `run`.
  bool handle_signals = true;
};

class Server {
 public:
  explicit Server(ServerInfo info, Lifespan lifespan = {});
  ~Server();
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  void add_tool(Tool tool);

  // Serves until end of input or SIGINT/SIGTERM; returns once the lifespan has been left.
  void run(const RunOptions& options = {});

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace platform::mcp
