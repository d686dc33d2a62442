#include "platform/mcp/internal/stop_signal.hpp"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <stdexcept>
#include <system_error>
#include <thread>

namespace platform::mcp::internal {

namespace {

// The write end the signal handlers use; -1 while no StopSignals is alive. Lock-free, so
// reading it in a handler is safe.
std::atomic<int> g_signal_fd{-1};
// Handlers between reading g_signal_fd and finishing their write; the pipe is not closed
// under them.
std::atomic<int> g_handlers_writing{0};
static_assert(std::atomic<int>::is_always_lock_free);

struct sigaction g_previous_int;
struct sigaction g_previous_term;

void write_wake_byte(int fd) {
  const char byte = 1;
  // A full pipe already holds a wake-up, so a failed write loses nothing.
  [[maybe_unused]] const ssize_t ignored = ::write(fd, &byte, 1);
}

extern "C" void on_stop_signal(int) {
  const int saved_errno = errno;
  g_handlers_writing.fetch_add(1);
  const int fd = g_signal_fd.load();
  if (fd >= 0) write_wake_byte(fd);
  g_handlers_writing.fetch_sub(1);
  errno = saved_errno;
}

}  // namespace

WakePipe::WakePipe() {
  if (::pipe2(fds_, O_CLOEXEC | O_NONBLOCK) != 0) {
    throw std::system_error(errno, std::generic_category(), "cannot create the wake-up pipe");
  }
}

WakePipe::~WakePipe() {
  ::close(fds_[0]);
  ::close(fds_[1]);
}

void WakePipe::notify() const { write_wake_byte(fds_[1]); }

StopSignals::StopSignals(const WakePipe& pipe) {
  int expected = -1;
  if (!g_signal_fd.compare_exchange_strong(expected, pipe.fds_[1])) {
    throw std::logic_error("another MCP server already handles SIGINT and SIGTERM");
  }
  struct sigaction action {};
  action.sa_handler = on_stop_signal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, &g_previous_int);
  sigaction(SIGTERM, &action, &g_previous_term);
}

StopSignals::~StopSignals() {
  sigaction(SIGINT, &g_previous_int, nullptr);
  sigaction(SIGTERM, &g_previous_term, nullptr);
  g_signal_fd.store(-1);
  while (g_handlers_writing.load() != 0) std::this_thread::yield();
}

}  // namespace platform::mcp::internal
