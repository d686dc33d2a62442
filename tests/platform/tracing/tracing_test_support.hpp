// Helpers shared by the tracing tests: an in-memory exporter and a capture of warnings.
#pragma once

#include <spdlog/sinks/ostream_sink.h>

#include <future>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "platform/log/log.hpp"
#include "platform/tracing/trace_exporter.hpp"

namespace tracing_test {

// Keeps every trace it is given; `gate`, when set, holds each export until it is released.
struct Recorded {
  std::mutex mutex;
  std::vector<platform::tracing::TraceRecord> traces;
  std::vector<std::string> experiments;
  std::shared_future<void> gate;
};

class RecordingExporter : public platform::tracing::TraceExporter {
 public:
  explicit RecordingExporter(Recorded& recorded) : recorded_(recorded) {}
  void prepare_experiment(const std::string& name) override {
    std::lock_guard lock(recorded_.mutex);
    recorded_.experiments.push_back(name);
  }
  void export_trace(const platform::tracing::TraceRecord& trace) override {
    if (recorded_.gate.valid()) recorded_.gate.wait();
    std::lock_guard lock(recorded_.mutex);
    recorded_.traces.push_back(trace);
  }

 private:
  Recorded& recorded_;
};

// Collects the log lines at warning level while it lives.
class WarningCapture {
 public:
  WarningCapture() : sink_(std::make_shared<spdlog::sinks::ostream_sink_mt>(text_)) {
    sink_->set_level(spdlog::level::warn);
    sink_->set_pattern("%v");
    platform::log::logger()->sinks().push_back(sink_);
  }
  ~WarningCapture() {
    auto& sinks = platform::log::logger()->sinks();
    sinks.erase(std::remove(sinks.begin(), sinks.end(), sink_), sinks.end());
  }
  std::vector<std::string> lines() const {
    std::vector<std::string> result;
    std::istringstream in(text_.str());
    for (std::string line; std::getline(in, line);) result.push_back(line);
    return result;
  }

 private:
  std::ostringstream text_;
  std::shared_ptr<spdlog::sinks::ostream_sink_mt> sink_;
};

}  // namespace tracing_test
