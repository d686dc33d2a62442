// The system's one logger.
//
// Log lines go to standard error only: standard output is the MCP channel and must carry
// nothing else. Levels are debug, info, warning and error; messages use fmt's "{}" placeholders.
//
//   platform::log::info("Registering logical table for {}", urn);
//
// Thread-safe. Tests may attach a sink of their own with `logger()->sinks()`.
#pragma once

#include <spdlog/spdlog.h>

#include <memory>

namespace platform::log {

// The process-wide logger: stderr, every level from debug up.
std::shared_ptr<spdlog::logger> logger();

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
