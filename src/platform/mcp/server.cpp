#include "platform/mcp/server.hpp"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <utility>

#include "platform/log/log.hpp"
#include "platform/mcp/internal/call_pool.hpp"
#include "platform/mcp/internal/json_rpc.hpp"
#include "platform/mcp/internal/line_splitter.hpp"
#include "platform/mcp/internal/output_channel.hpp"
#include "platform/mcp/internal/session.hpp"
#include "platform/mcp/internal/stop_signal.hpp"

namespace platform::mcp {

namespace {

using internal::Json;

bool is_object_schema(const Json& schema) {
  return schema.is_object() && schema.value("type", Json()) == "object";
}

enum class ReadEnd { kEndOfInput, kStopRequested };

// Feeds input to `splitter` until end of input or a wake-up through `wake`.
ReadEnd read_until_stop(int input_fd, const internal::WakePipe& wake,
                        internal::LineSplitter& splitter) {
  std::vector<char> buffer(std::size_t{64} << 10);
  pollfd watched[2] = {{input_fd, POLLIN, 0}, {wake.read_fd(), POLLIN, 0}};
  for (;;) {
    if (::poll(watched, 2, -1) < 0) {
      if (errno == EINTR) continue;
      platform::log::error("MCP input cannot be polled: {}", std::strerror(errno));
      return ReadEnd::kEndOfInput;
    }
    if (watched[1].revents != 0) return ReadEnd::kStopRequested;
    if (watched[0].revents == 0) continue;
    const ssize_t got = ::read(input_fd, buffer.data(), buffer.size());
    if (got > 0) {
      splitter.feed(std::string_view(buffer.data(), static_cast<std::size_t>(got)));
    } else if (got == 0) {
      splitter.finish();
      return ReadEnd::kEndOfInput;
    } else if (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK) {
      platform::log::error("MCP input cannot be read: {}", std::strerror(errno));
      return ReadEnd::kEndOfInput;
    }
  }
}

// Waits until every call taken has ended, or until `deadline`; a stop signal (or a broken
// output) meanwhile cancels them. True when they have all ended.
bool wait_for_calls(internal::CallPool& pool, const internal::WakePipe& wake,
                    internal::Session& session, std::chrono::steady_clock::time_point deadline) {
  constexpr std::chrono::milliseconds kSignalCheck{50};
  for (;;) {
    const auto now = std::chrono::steady_clock::now();
    if (pool.wait_until_idle(std::min(deadline, now + kSignalCheck))) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    pollfd woken{wake.read_fd(), POLLIN, 0};
    if (::poll(&woken, 1, 0) > 0) session.cancel_all();
  }
}

}  // namespace

RequestContext::RequestContext(std::shared_ptr<void> lifespan_context,
                               nlohmann::ordered_json request_id,
                               std::shared_ptr<const std::atomic<bool>> cancelled)
    : lifespan_context_(std::move(lifespan_context)),
      request_id_(std::move(request_id)),
      cancelled_(std::move(cancelled)) {}

struct Server::Impl {
  ServerInfo info;
  Lifespan lifespan;
  std::vector<std::shared_ptr<const Tool>> tools;
};

Server::Server(ServerInfo info, Lifespan lifespan)
    : impl_(std::make_unique<Impl>(Impl{std::move(info), std::move(lifespan), {}})) {}

Server::~Server() = default;

void Server::add_tool(Tool tool) {
  if (tool.name.empty()) throw std::invalid_argument("a tool needs a name");
  if (std::any_of(impl_->tools.begin(), impl_->tools.end(),
                  [&](const auto& known) { return known->name == tool.name; })) {
    throw std::invalid_argument("tool " + tool.name + " is already added");
  }
  if (!tool.handler) throw std::invalid_argument("tool " + tool.name + " has no handler");
  // Clients reject a tool list whose schemas are not objects of type "object".
  if (!is_object_schema(tool.input_schema)) {
    throw std::invalid_argument("the input schema of tool " + tool.name +
                                " must be an object with \"type\": \"object\"");
  }
  if (!tool.output_schema.is_null() && !is_object_schema(tool.output_schema)) {
    throw std::invalid_argument("the output schema of tool " + tool.name +
                                " must be null or an object with \"type\": \"object\"");
  }
  impl_->tools.push_back(std::make_shared<const Tool>(std::move(tool)));
}

void Server::run(const RunOptions& options) {
  // Left on every way out once entered: at the end while the stop signals are still handled,
  // or last of all when a failure unwinds.
  struct LeaveOnExit {
    LifespanScope scope;
    void leave() {
      if (auto leave_now = std::exchange(scope.leave, {})) leave_now();
    }
    ~LeaveOnExit() { leave(); }
  } lifespan{impl_->lifespan ? impl_->lifespan() : LifespanScope{}};

  const internal::WakePipe wake;
  std::optional<internal::StopSignals> signals;
  if (options.handle_signals) signals.emplace(wake);

  const auto output = std::make_shared<internal::OutputChannel>(
      options.output_fd, options.max_queued_output_bytes, [&wake] { wake.notify(); });
  // Closed on every way out, so calls that outlive `run` write nothing.
  const struct CloseOnExit {
    internal::OutputChannel& channel;
    ~CloseOnExit() { channel.close(); }
  } close_output{*output};

  internal::CallPool pool(options.worker_threads);
  auto session = std::make_shared<internal::Session>(
      impl_->info, impl_->tools, lifespan.scope.context,
      [output](const Json& message) { output->write_line(internal::to_line(message)); },
      [&pool](std::function<void()> job) { pool.submit(std::move(job)); },
      std::max<std::size_t>(options.worker_threads, 1) + options.max_queued_calls);
  internal::LineSplitter splitter(
      options.max_message_bytes, [&](std::string_view line) { session->handle_line(line); },
      [&] {
        platform::log::warning("MCP message longer than {} bytes refused",
                               options.max_message_bytes);
        session->handle_oversized_line();
      });

  if (read_until_stop(options.input_fd, wake, splitter) == ReadEnd::kStopRequested) {
    session->cancel_all();
  }
  if (!wait_for_calls(pool, wake, *session,
                      std::chrono::steady_clock::now() + options.shutdown_grace)) {
    platform::log::warning(
        "MCP tool calls still running {} ms after the server stopped are cancelled",
        options.shutdown_grace.count());
    session->cancel_all();
    if (!pool.wait_until_idle(std::chrono::steady_clock::now() + options.cancel_grace)) {
      platform::log::warning(
          "MCP tool calls still running {} ms after they were cancelled are left behind; their "
          "answers are dropped",
          options.cancel_grace.count());
    }
  }
  if (!output->drain(std::chrono::steady_clock::now() + options.output_drain)) {
    platform::log::warning("MCP answers not read by the client within {} ms are dropped",
                           options.output_drain.count());
  }
  output->close();
  pool.finish(std::chrono::steady_clock::now());
  lifespan.leave();
}

}  // namespace platform::mcp
