// Runs an exporter on one worker thread behind a bounded queue, so a traced call only pays for
// putting its finished trace in the queue.
//
// A failed job is logged at warning the first time and at debug afterwards; it never reaches
// the code being traced. When the queue is full the new trace is dropped (warned about once).
// `flush` waits until every queued job has run; the destructor flushes and stops the worker.
//
// Thread-safe.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/tracing/trace_exporter.hpp"

namespace platform::tracing {

class BackgroundExporter {
 public:
  explicit BackgroundExporter(std::unique_ptr<TraceExporter> exporter, std::size_t capacity = 256);
  ~BackgroundExporter();
  BackgroundExporter(const BackgroundExporter&) = delete;
  BackgroundExporter& operator=(const BackgroundExporter&) = delete;

  void prepare_experiment(std::string name);
  void export_trace(TraceRecord trace);
  void flush();

 private:
  void submit(std::function<void(TraceExporter&)> job);
  void run();
  void report(const std::exception& error);

  std::unique_ptr<TraceExporter> exporter_;
  std::size_t capacity_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable idle_;
  std::deque<std::function<void(TraceExporter&)>> queue_;
  bool busy_ = false;
  bool stopping_ = false;
  bool warned_failure_ = false;
  bool warned_full_ = false;
  std::thread worker_;
};

}  // namespace platform::tracing
