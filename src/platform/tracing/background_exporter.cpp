#include "platform/tracing/background_exporter.hpp"

#include "platform/cancellation/cancellation_scope.hpp"
#include "platform/log/log.hpp"

namespace platform::tracing {

BackgroundExporter::BackgroundExporter(std::unique_ptr<TraceExporter> exporter,
                                       std::size_t capacity,
                                       std::chrono::milliseconds exit_flush_limit)
    : exporter_(std::move(exporter)), capacity_(capacity), exit_flush_limit_(exit_flush_limit) {
  worker_ = std::thread([this] { run(); });
}

BackgroundExporter::~BackgroundExporter() {
  {
    std::unique_lock lock(mutex_);
    if (!idle_.wait_for(lock, exit_flush_limit_, [this] { return queue_.empty() && !busy_; })) {
      log::warning("Tracing store did not take the last traces within {} ms; {} are dropped",
                   exit_flush_limit_.count(), queue_.size() + (busy_ ? 1 : 0));
      queue_.clear();
      giving_up_ = true;
    }
    stopping_ = true;
  }
  wake_.notify_all();
  worker_.join();
}

void BackgroundExporter::prepare_experiment(std::string name) {
  submit([name = std::move(name)](TraceExporter& exporter) { exporter.prepare_experiment(name); });
}

void BackgroundExporter::export_trace(TraceRecord trace) {
  submit([trace = std::move(trace)](TraceExporter& exporter) { exporter.export_trace(trace); });
}

void BackgroundExporter::submit(std::function<void(TraceExporter&)> job) {
  {
    std::lock_guard lock(mutex_);
    if (queue_.size() >= capacity_) {
      if (!warned_full_) {
        warned_full_ = true;
        log::warning("Tracing falls behind; traces are dropped while {} wait for export",
                     queue_.size());
      }
      return;
    }
    queue_.push_back(std::move(job));
  }
  wake_.notify_one();
}

void BackgroundExporter::flush() {
  std::unique_lock lock(mutex_);
  idle_.wait(lock, [this] { return queue_.empty() && !busy_; });
}

void BackgroundExporter::report(const std::exception& error) {
  bool first = false;
  {
    std::lock_guard lock(mutex_);
    first = !warned_failure_;
    warned_failure_ = true;
  }
  if (first) {
    log::warning("Tracing export failed (later failures are logged at debug): {}", error.what());
  } else {
    log::debug("Tracing export failed again: {}", error.what());
  }
}

void BackgroundExporter::run() {
  const CancellationScope given_up([this] { return giving_up_.load(); });
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
    if (queue_.empty()) return;  // stopping, nothing left
    auto job = std::move(queue_.front());
    queue_.pop_front();
    busy_ = true;
    lock.unlock();
    try {
      job(*exporter_);
    } catch (const std::exception& error) {
      // The export this destructor cut short is already counted among the dropped.
      if (!giving_up_) report(error);
    }
    lock.lock();
    busy_ = false;
    if (queue_.empty()) idle_.notify_all();
  }
}

}  // namespace platform::tracing
