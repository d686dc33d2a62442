#include "platform/log/log.hpp"

#include <spdlog/sinks/base_sink.h>
#include <unistd.h>

#include <cstdlib>
#include <mutex>

#include "platform/log/queued_writer.hpp"

namespace platform::log {

namespace {

// Standard error through a queue: a terminal or pipe that stops reading costs log lines, never
// a blocked thread.
class QueuedStderrSink final : public spdlog::sinks::base_sink<std::mutex> {
 public:
  QueuedStderrSink()
      : writer_(STDERR_FILENO,
                {.max_queued_bytes = kMaxQueuedLogBytes, .dropped_notice = [](std::size_t count) {
                   return fmt::format("{} log line(s) dropped: standard error was not read\n",
                                      count);
                 }}) {}

  bool drain(std::chrono::steady_clock::time_point deadline) { return writer_.drain(deadline); }

 protected:
  void sink_it_(const spdlog::details::log_msg& message) override {
    spdlog::memory_buf_t formatted;
    formatter_->format(message, formatted);
    writer_.write(fmt::to_string(formatted));
  }
  void flush_() override {}

 private:
  QueuedWriter writer_;
};

QueuedStderrSink& stderr_sink() {
  // Never destroyed: threads that outlive `main` may still log.
  static QueuedStderrSink& sink = *new QueuedStderrSink;
  return sink;
}

}  // namespace

std::shared_ptr<spdlog::logger> logger() {
  static const std::shared_ptr<spdlog::logger>& instance = *new std::shared_ptr<spdlog::logger>([] {
    auto created = std::make_shared<spdlog::logger>(
        "orvane_semantic_agent",
        std::shared_ptr<spdlog::sinks::sink>(&stderr_sink(), [](spdlog::sinks::sink*) {}));
    created->set_level(spdlog::level::debug);
    created->set_pattern("%Y-%m-%d %H:%M:%S.%e | %-7l | %v");
    // Runs after the destructors of the statics made later (the tracer's last warnings).
    std::atexit([] { drain(kExitDrainLimit); });
    return created;
  }());
  return instance;
}

bool drain(std::chrono::milliseconds limit) {
  return stderr_sink().drain(std::chrono::steady_clock::now() + limit);
}

}  // namespace platform::log
