// The system's one logger.
//
// Log lines go to standard error only: standard output is the MCP channel and must carry
// nothing else. Levels are debug, info, warning and error; messages use fmt's "{}" placeholders.
//
//   platform::log::info("Registering logical table for {}", urn);
//
// Lines are written to standard error by a thread of their own behind a queue of at most
// `kMaxQueuedLogBytes`, so logging never waits for a reader: while standard error is not read,
// new lines are dropped, and once it drains one line says how many were lost. At process exit
// the queue gets `kExitDrainLimit` to drain.
//
// Thread-safe. Tests may attach a sink of their own with `logger()->sinks()`.
#pragma once

#include <spdlog/spdlog.h>

#include <chrono>
#include <cstddef>
#include <memory>

namespace platform::log {

// The process-wide logger: stderr, every level from debug up.
std::shared_ptr<spdlog::logger> logger();

inline constexpr std::size_t kMaxQueuedLogBytes = std::size_t{1} << 20;
inline constexpr std::chrono::milliseconds kExitDrainLimit{1000};

// Waits up to `limit` until every line logged so far has been written; true when it has.
bool drain(std::chrono::milliseconds limit);

template <typename... Args>
void debug(fmt::format_string<Args...> format, Args&&... args) {
  logger()->debug(format, std::forward<Args>(args)...);
}
template <typename... Args>
void info(fmt::format_string<Args...> format, Args&&... args) {
  logger()->info(format, std::forward<Args>(args)...);
}
template <typename... Args>
void warning(fmt::format_string<Args...> format, Args&&... args) {
  logger()->warn(format, std::forward<Args>(args)...);
}
template <typename... Args>
void error(fmt::format_string<Args...> format, Args&&... args) {
  logger()->error(format, std::forward<Args>(args)...);
}

}  // namespace platform::log
