// A small, strict MCP server: JSON-RPC 2.0 over standard input and output, one JSON message per
// line, UTF-8, tools only.
//
//   platform::mcp::Server server({.name = "cortex_agent", .version = "0.1.3"}, open_resources);
//   server.add_tool({.name = "run_cortex_analyst", .description = "...",
//                    .input_schema = schema, .output_schema = {{"type", "object"}},
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
// Exactly, for a tool named N:
//   - handler throws E:            isError, text "Error executing tool N: " + E.what()
//   - arguments break the schema:  isError, text "Error executing tool N: invalid arguments: "
//                                  + the problem ("missing required argument 'query'",
//                                  "argument 'query' must be of type string", ...)
//   - handler returns no object:   isError, "Error executing tool N: the tool returned ..."
//   - unknown tool, or arguments that are not an object: JSON-RPC error -32602
//   - a call that was still waiting for a worker when SIGINT/SIGTERM came: isError,
//     "Error executing tool N: the server is shutting down" (it never starts)
// Requests other than `initialize` and `ping` before `initialize` answer -32600; a second
// `initialize` too. Batches (JSON arrays) are not served: every member that would be answered
// gets -32600. A line that is not UTF-8 JSON, nests deeper than 128 levels or is longer than
// `max_message_bytes` answers -32700 with id null. Text that is not UTF-8 in a result is sent
// with U+FFFD in its place.
//
// Only protocol messages are written to the output, each a whole line from one writer thread, so
// no other thread ever waits for the client to read; an answer that finds
// `max_queued_output_bytes` still unread is dropped. Logs go to standard error. Tool calls run on
// a small pool of worker threads, so `ping` and other calls are answered while one runs; handlers
// therefore share the lifespan context across threads and must guard what they change in it. A
// cancelled call's answer is dropped. A `tools/call` that finds `worker_threads` +
// `max_queued_calls` calls in flight is refused at once: isError, "Error executing tool N: the
// server is busy (...)". Arguments the input schema does not name are dropped before the call
// is queued.
//
// Stopping: at end of input or on SIGINT/SIGTERM (or when the output can no longer be written)
// the server stops taking calls. A stop signal cancels the calls in flight at once; after end of
// input they may finish within `shutdown_grace` (a stop signal during that time cancels them
// then). Calls still running after it are cancelled and get `cancel_grace` more; then the
// answers get `output_drain` to reach the client, and the lifespan is left. A call that ignores
// cancellation even then keeps its own share of the lifespan context, its tool and the pool, so
// no memory is freed under it, but the lifespan's `leave` still releases what it opened; its
// answer is dropped. The caller is expected to exit the process then. `run` so returns at most
// shutdown_grace + cancel_grace + output_drain + the time `leave` takes after the stop began.
//
// A closed output never raises SIGPIPE (it is blocked on the thread that writes). Add
// tools before `run`; with `handle_signals`, one `run` at a time per process.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <utility>
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
  // True once the client cancelled this call (its answer is then dropped), the server was told
  // to stop by SIGINT/SIGTERM, or the grace time after end of input ran out (its answer still
  // goes out). End of input alone does not cancel: a client that closes its side after its last
  // request still gets the answers.
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
  // A JSON Schema object with "type": "object"; arguments are checked against its "properties"
  // types, "items" types, "required" names and "additionalProperties": false before the
  // handler runs.
  nlohmann::ordered_json input_schema;
  // Listed as the tool's outputSchema when not null; then an object with "type": "object"
  // (clients refuse other output schemas).
  nlohmann::ordered_json output_schema;
  // Returns the structured result (a JSON object). Runs on a worker thread.
  ToolHandler handler;
};

// What the lifespan opened: the context every request sees, and how to leave it.
struct LifespanScope {
  LifespanScope() = default;
  // Implicit, so that a lifespan may return its context alone.
  template <typename T>
  LifespanScope(std::shared_ptr<T> context, std::function<void()> leave = {})
      : context(std::move(context)), leave(std::move(leave)) {}

  std::shared_ptr<void> context;
  // Releases what the lifespan opened, also while a call that ignored cancellation still holds
  // `context`; must not throw. Without it, releasing `context` is the cleanup (and waits for
  // the last call).
  std::function<void()> leave;
};

// Entered once when the server starts, before the first message is read. The server leaves the
// lifespan when it stops: it calls `leave`, then releases its share of the context. An exception
// thrown here leaves `run` unchanged: it propagates before anything is read or written.
using Lifespan = std::function<LifespanScope()>;

struct RunOptions {
  int input_fd = 0;
  int output_fd = 1;
  // A longer line is refused with a parse error and skipped without being held in memory.
  // Parsing costs up to about 20 times a line's size in memory, so this bounds a message's
  // cost; a tool call's arguments are a few kilobytes.
  std::size_t max_message_bytes = std::size_t{1} << 20;
  std::size_t worker_threads = 4;
  // Calls that may wait for a worker; more are refused as "busy".
  std::size_t max_queued_calls = 16;
  // Output not yet read by the client beyond which new answers are dropped.
  std::size_t max_queued_output_bytes = std::size_t{64} << 20;
  // How long running calls may go on after end of input or a stop signal.
  std::chrono::milliseconds shutdown_grace{std::chrono::seconds(30)};
  // How long cancelled calls may take to end once `shutdown_grace` is over.
  std::chrono::milliseconds cancel_grace{std::chrono::seconds(5)};
  // How long the last answers may take to reach the client before the lifespan is left.
  std::chrono::milliseconds output_drain{std::chrono::seconds(2)};
  // Installs SIGINT and SIGTERM handlers for the duration of `run`.
  bool handle_signals = true;
};

class Server {
 public:
  explicit Server(ServerInfo info, Lifespan lifespan = {});
  ~Server();
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  // Throws std::invalid_argument for an empty or repeated name, no handler, or a schema that
  // is not an object of "type": "object".
  void add_tool(Tool tool);

  // Serves until end of input or SIGINT/SIGTERM; returns once the lifespan has been left (see
  // "Stopping" above for the bound).
  void run(const RunOptions& options = {});

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace platform::mcp
