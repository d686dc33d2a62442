// The one writer of the output: whole lines, one at a time, from any thread, so messages are
// never interleaved. A closed reader makes writes fail quietly (no SIGPIPE kills the process);
// after `close` nothing more is written, so threads that outlive the server touch nothing.
#pragma once

#include <functional>
#include <mutex>
#include <string_view>

namespace platform::mcp::internal {

class OutputChannel {
 public:
  // `on_broken` runs once, on the writing thread, when the output can no longer be written.
  OutputChannel(int fd, std::function<void()> on_broken);

  // Writes `line` and a line feed; false when the channel is closed or broken.
  bool write_line(std::string_view line);
  void close();

 private:
  bool write_all(std::string_view bytes);

  std::mutex mutex_;
  int fd_;
  std::function<void()> on_broken_;
  bool open_ = true;
};

}  // namespace platform::mcp::internal
