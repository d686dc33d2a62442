// The one writer of the output: whole lines from any thread, never interleaved, written by a
// thread of their own so that no caller waits for the client to read (see
// platform/log/queued_writer.hpp). An answer that finds `max_queued_bytes` already waiting for a
// client that does not read is dropped, with a warning. A closed reader makes writes fail quietly
// (no SIGPIPE kills the process); after `close` nothing more is written, so threads that outlive
// the server touch nothing.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <string_view>

#include "platform/log/queued_writer.hpp"

namespace platform::mcp::internal {

class OutputChannel {
 public:
  // `on_broken` runs once, on the writing thread, when the output can no longer be written.
  OutputChannel(int fd, std::size_t max_queued_bytes, std::function<void()> on_broken);

  // Queues `line` and a line feed; false when it was dropped.
  bool write_line(std::string_view line);
  // Waits until every queued line is written, or until `deadline`; true when they are.
  bool drain(std::chrono::steady_clock::time_point deadline);
  void close();

 private:
  platform::log::QueuedWriter writer_;
};

}  // namespace platform::mcp::internal
