#include "platform/log/log.hpp"

#include <spdlog/sinks/stdout_sinks.h>

namespace platform::log {

std::shared_ptr<spdlog::logger> logger() {
  static const std::shared_ptr<spdlog::logger> instance = [] {
    auto created = std::make_shared<spdlog::logger>(
        "orvane_semantic_agent", std::make_shared<spdlog::sinks::stderr_sink_mt>());
    created->set_level(spdlog::level::debug);
    created->set_pattern("%Y-%m-%d %H:%M:%S.%e | %-7l | %v");
    return created;
  }();
  return instance;
}

}  // namespace platform::log
