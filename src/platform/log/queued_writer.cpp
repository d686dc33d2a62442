#include "platform/log/queued_writer.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

namespace platform::log {

namespace {

// SIGPIPE stays blocked on the writing thread for its whole life, so a vanished reader is an
// error return (EPIPE) and the process's own SIGPIPE handling stays untouched.
void block_sigpipe_on_this_thread() {
  sigset_t pipe_only;
  sigemptyset(&pipe_only);
  sigaddset(&pipe_only, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipe_only, nullptr);
}

// Writes all of `bytes`; false when the descriptor fails.
bool write_all(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written >= 0) {
      bytes.remove_prefix(static_cast<std::size_t>(written));
    } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
      pollfd ready{fd, POLLOUT, 0};
      ::poll(&ready, 1, -1);
    } else if (errno != EINTR) {
      return false;
    }
  }
  return true;
}

}  // namespace

struct QueuedWriter::State {
  explicit State(int fd, Options options) : fd(fd), options(std::move(options)) {}
  const int fd;  // closed by the writing thread when it ends
  const Options options;
  std::mutex mutex;
  std::condition_variable changed;
  std::deque<std::string> queue;
  std::size_t queued_bytes = 0;
  std::size_t dropped = 0;
  bool writing = false;
  bool closed = false;
  bool broken = false;
};

QueuedWriter::QueuedWriter(int fd, Options options) {
  const int own = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
  if (own < 0) throw std::system_error(errno, std::generic_category(), "cannot duplicate fd");
  state_ = std::make_shared<State>(own, std::move(options));
  std::thread([state = state_] {
    block_sigpipe_on_this_thread();
    std::unique_lock lock(state->mutex);
    for (;;) {
      state->changed.wait(lock, [&] {
        return state->closed || !state->queue.empty() ||
               (state->dropped > 0 && state->options.dropped_notice);
      });
      if (state->closed || state->broken) {
        ::close(state->fd);
        return;
      }
      std::string text;
      if (!state->queue.empty()) {
        text = std::move(state->queue.front());
        state->queue.pop_front();
        state->queued_bytes -= text.size();
      } else {
        text = state->options.dropped_notice(std::exchange(state->dropped, 0));
      }
      state->writing = true;
      lock.unlock();
      const bool written = write_all(state->fd, text);
      lock.lock();
      state->writing = false;
      if (!written) {
        state->broken = true;
        if (!state->closed && state->options.on_broken) state->options.on_broken();
      }
      state->changed.notify_all();
    }
  }).detach();
}

QueuedWriter::~QueuedWriter() { close(); }

QueuedWriter::Outcome QueuedWriter::write(std::string text) {
  {
    const std::lock_guard lock(state_->mutex);
    if (state_->closed || state_->broken) return Outcome::kClosed;
    if (!state_->queue.empty() &&
        state_->queued_bytes + text.size() > state_->options.max_queued_bytes) {
      ++state_->dropped;
      return Outcome::kQueueFull;
    }
    state_->queued_bytes += text.size();
    state_->queue.push_back(std::move(text));
  }
  state_->changed.notify_all();
  return Outcome::kQueued;
}

bool QueuedWriter::drain(std::chrono::steady_clock::time_point deadline) {
  std::unique_lock lock(state_->mutex);
  return state_->changed.wait_until(lock, deadline, [&] {
    return state_->broken || state_->closed || (state_->queue.empty() && !state_->writing);
  });
}

void QueuedWriter::close() {
  {
    const std::lock_guard lock(state_->mutex);
    state_->closed = true;
    state_->queue.clear();
    state_->queued_bytes = 0;
  }
  state_->changed.notify_all();
}

}  // namespace platform::log
