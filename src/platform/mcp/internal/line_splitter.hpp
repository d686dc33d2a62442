// Splits a byte stream into lines ("\n", with an optional "\r" before it) of at most a given
// length. A longer line is reported once and skipped up to its end without being held in
// memory, so no input can make the reader grow without bound.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace platform::mcp::internal {

class LineSplitter {
 public:
  using LineHandler = std::function<void(std::string_view line)>;
  using OversizedHandler = std::function<void()>;

  LineSplitter(std::size_t max_line_bytes, LineHandler on_line, OversizedHandler on_oversized);

  // Feeds the next bytes of the stream; calls the handlers for every line they complete.
  void feed(std::string_view bytes);
  // End of the stream: a last line without its line feed still counts.
  void finish();

 private:
  void complete_line();
  void append(std::string_view part);

  std::size_t max_line_bytes_;
  LineHandler on_line_;
  OversizedHandler on_oversized_;
  std::string pending_;
  bool skipping_ = false;
};

}  // namespace platform::mcp::internal
