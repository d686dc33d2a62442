// Collects the system's log lines while it lives, for tests that check what a line shows.
//
//   osa_test::LogCapture log(spdlog::level::debug);
//   ... code that logs ...
//   EXPECT_THAT(log.text(), testing::Not(testing::HasSubstr("password")));
#pragma once

#include <spdlog/sinks/ostream_sink.h>

#include <algorithm>
#include <memory>
#include <sstream>
#include <string>

#include "platform/log/log.hpp"

namespace osa_test {

class LogCapture {
 public:
  explicit LogCapture(spdlog::level::level_enum level = spdlog::level::debug)
      : sink_(std::make_shared<spdlog::sinks::ostream_sink_mt>(text_)) {
    sink_->set_level(level);
    sink_->set_pattern("%v");
    platform::log::logger()->sinks().push_back(sink_);
  }
  ~LogCapture() {
    auto& sinks = platform::log::logger()->sinks();
    sinks.erase(std::remove(sinks.begin(), sinks.end(), sink_), sinks.end());
  }
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  // Every line so far, each ending with a line break.
  std::string text() const {
    sink_->flush();
    return text_.str();
  }

 private:
  std::ostringstream text_;
  std::shared_ptr<spdlog::sinks::ostream_sink_mt> sink_;
};

}  // namespace osa_test
