// Writes text to a file descriptor from a thread of its own, so that no caller ever waits for
// the reader at the other end: a client that stops reading standard output, or a terminal that
// stops reading standard error, cannot hold up a thread that must answer a stop signal.
//
//   platform::log::QueuedWriter out(STDOUT_FILENO, {.max_queued_bytes = 64 << 20});
//   if (!out.write(line + "\n")) { /* dropped: the reader is that far behind, or gone */ }
//   out.drain(std::chrono::steady_clock::now() + 2s);   // before exit, bounded
//
// What is queued is bounded: text that would take the queue past `max_queued_bytes` is dropped
// (a text is always taken into an empty queue, whatever its size). The writer works on its own
// duplicate of the descriptor, so the caller may close its descriptor at any time; the duplicate
// is closed when the thread ends. A closed
// reader makes writes fail quietly: SIGPIPE is blocked on the writing thread, nothing is written
// after that and `on_broken` runs once. The thread keeps the shared state alive and ends by
// itself once the writer is closed and it is not in a write; a thread stuck in a write to a
// reader that never reads is left to the process's exit.
//
// Thread-safe.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>

namespace platform::log {

class QueuedWriter {
 public:
  struct Options {
    std::size_t max_queued_bytes = std::size_t{1} << 20;
    // Runs once, on the writing thread with the writer's lock held (so it must not use the
    // writer), when the descriptor can no longer be written; never after `close` has returned.
    std::function<void()> on_broken;
    // When set, the text written once the queue has drained after drops, given how many texts
    // were dropped since the last notice.
    std::function<std::string(std::size_t dropped)> dropped_notice;
  };

  // Throws std::system_error when the descriptor cannot be duplicated.
  QueuedWriter(int fd, Options options);
  ~QueuedWriter();  // close()
  QueuedWriter(const QueuedWriter&) = delete;
  QueuedWriter& operator=(const QueuedWriter&) = delete;

  enum class Outcome { kQueued, kQueueFull, kClosed };
  // Queues `text`, or drops it when the queue is full or the writer closed or broken.
  Outcome write(std::string text);
  // Waits until nothing queued waits to be written (written, or given up on by `close` or a
  // broken descriptor), or until `deadline`; true unless the deadline came first.
  bool drain(std::chrono::steady_clock::time_point deadline);
  // Nothing queued after this is written; what is still queued is dropped.
  void close();

 private:
  struct State;
  std::shared_ptr<State> state_;
};

}  // namespace platform::log
