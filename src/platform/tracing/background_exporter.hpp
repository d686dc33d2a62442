// Runs an exporter on one worker thread behind a bounded queue, so a traced call only pays for
// putting its finished trace in the queue.
//
// A failed job is logged at warning the first time and at debug afterwards; it never reaches
// the code being traced. When the queue is full the new trace is dropped (warned about once).
// `flush` waits until every queued job has run. The destructor (at process exit for the
// process-wide tracer) gives the queue `kExitFlushLimit` to drain; then it drops what still
// waits, cancels the running export (a tracking server that does not answer ends its request,
// see platform/cancellation) and stops the worker, so exit never waits on an unresponsive store.
//
// Thread-safe.
#pragma once

#include <atomic>
#include <chrono>
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
  static constexpr std::chrono::milliseconds kExitFlushLimit{std::chrono::seconds(5)};

  explicit BackgroundExporter(std::unique_ptr<TraceExporter> exporter, std::size_t capacity = 256,
                              std::chrono::milliseconds exit_flush_limit = kExitFlushLimit);
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
  std::chrono::milliseconds exit_flush_limit_;
  std::atomic<bool> giving_up_{false};
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
