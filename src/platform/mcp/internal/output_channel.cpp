#include "platform/mcp/internal/output_channel.hpp"

#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <utility>

#include "platform/log/log.hpp"

namespace platform::mcp::internal {

namespace {

// Blocks SIGPIPE on this thread for one write and swallows the one a closed pipe raises, so a
// vanished client is an error return and the process's own SIGPIPE handling stays untouched.
class SigpipeGuard {
 public:
  SigpipeGuard() {
    sigemptyset(&pipe_only_);
    sigaddset(&pipe_only_, SIGPIPE);
    sigset_t pending;
    sigpending(&pending);
    was_pending_ = sigismember(&pending, SIGPIPE) == 1;
    pthread_sigmask(SIG_BLOCK, &pipe_only_, &previous_);
  }
  ~SigpipeGuard() {
    if (raised_ && !was_pending_) {
      const timespec no_wait{0, 0};
      while (sigtimedwait(&pipe_only_, nullptr, &no_wait) == -1 && errno == EINTR) {
      }
    }
    pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
  }
  void note_broken_pipe() { raised_ = true; }

 private:
  sigset_t pipe_only_;
  sigset_t previous_;
  bool was_pending_ = false;
  bool raised_ = false;
};

}  // namespace

OutputChannel::OutputChannel(int fd, std::function<void()> on_broken)
    : fd_(fd), on_broken_(std::move(on_broken)) {}

bool OutputChannel::write_line(std::string_view line) {
  const std::lock_guard lock(mutex_);
  if (!open_) return false;
  // Two writes under one lock: no copy of a large line, and still never interleaved.
  if (write_all(line) && write_all("\n")) return true;
  open_ = false;
  on_broken_();
  return false;
}

void OutputChannel::close() {
  const std::lock_guard lock(mutex_);
  open_ = false;
}

bool OutputChannel::write_all(std::string_view bytes) {
  SigpipeGuard guard;
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd_, bytes.data(), bytes.size());
    if (written >= 0) {
      bytes.remove_prefix(static_cast<std::size_t>(written));
      continue;
    }
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) {
      pollfd ready{fd_, POLLOUT, 0};
      ::poll(&ready, 1, -1);
      continue;
    }
    if (errno == EPIPE) guard.note_broken_pipe();
    platform::log::error("MCP output cannot be written: {}", std::strerror(errno));
    return false;
  }
  return true;
}

}  // namespace platform::mcp::internal
