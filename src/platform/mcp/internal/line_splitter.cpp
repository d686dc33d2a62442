#include "platform/mcp/internal/line_splitter.hpp"

#include <utility>

namespace platform::mcp::internal {

LineSplitter::LineSplitter(std::size_t max_line_bytes, LineHandler on_line,
                           OversizedHandler on_oversized)
    : max_line_bytes_(max_line_bytes),
      on_line_(std::move(on_line)),
      on_oversized_(std::move(on_oversized)) {}

void LineSplitter::feed(std::string_view bytes) {
  while (!bytes.empty()) {
    const std::size_t end = bytes.find('\n');
    if (end == std::string_view::npos) {
      append(bytes);
      return;
    }
    append(bytes.substr(0, end));
    complete_line();
    bytes.remove_prefix(end + 1);
  }
}

void LineSplitter::finish() {
  if (!pending_.empty() || skipping_) complete_line();
}

void LineSplitter::append(std::string_view part) {
  if (skipping_) return;
  // One byte of slack for the "\r" that may close the line.
  if (pending_.size() + part.size() > max_line_bytes_ + 1) {
    skipping_ = true;
    pending_.clear();
    pending_.shrink_to_fit();
    on_oversized_();
    return;
  }
  pending_.append(part);
}

void LineSplitter::complete_line() {
  if (skipping_) {
    skipping_ = false;
    return;
  }
  std::string_view line = pending_;
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  if (line.size() > max_line_bytes_) {
    on_oversized_();
  } else {
    on_line_(line);
  }
  pending_.clear();
}

}  // namespace platform::mcp::internal
