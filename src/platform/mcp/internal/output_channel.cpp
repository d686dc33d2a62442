#include "platform/mcp/internal/output_channel.hpp"

#include <string>
#include <utility>

#include "platform/log/log.hpp"

namespace platform::mcp::internal {

OutputChannel::OutputChannel(int fd, std::size_t max_queued_bytes, std::function<void()> on_broken)
    : writer_(fd, {.max_queued_bytes = max_queued_bytes,
                   .on_broken = [on_broken = std::move(on_broken)] {
                     platform::log::error("MCP output cannot be written; the server stops");
                     on_broken();
                   }}) {}

bool OutputChannel::write_line(std::string_view line) {
  std::string text;
  text.reserve(line.size() + 1);
  text.append(line).push_back('\n');
  const auto outcome = writer_.write(std::move(text));
  if (outcome != platform::log::QueuedWriter::Outcome::kQueueFull) {
    return outcome == platform::log::QueuedWriter::Outcome::kQueued;
  }
  platform::log::warning("An MCP message of {} bytes was dropped: the client does not read",
                         line.size());
  return false;
}

bool OutputChannel::drain(std::chrono::steady_clock::time_point deadline) {
  return writer_.drain(deadline);
}

void OutputChannel::close() { writer_.close(); }

}  // namespace platform::mcp::internal
