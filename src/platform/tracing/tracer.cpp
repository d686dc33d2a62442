#include "platform/tracing/tracer.hpp"

#include <fmt/format.h>

#include <chrono>
#include <exception>
#include <random>
#include <vector>

#include "platform/log/log.hpp"

namespace platform::tracing {

namespace {

thread_local Span* current_span = nullptr;

std::string random_hex(int digits) {
  thread_local std::mt19937_64 random(std::random_device{}());
  std::string text;
  while (static_cast<int>(text.size()) < digits) text += fmt::format("{:016x}", random());
  return text.substr(0, digits);
}

std::int64_t now_ns() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

}  // namespace

struct Span::TraceState {
  std::mutex mutex;
  TraceRecord record;
  int open = 0;
};

Tracer::Tracer(std::unique_ptr<TraceExporter> exporter) : exporter_(std::move(exporter)) {}

void Tracer::set_experiment(std::string name) {
  {
    std::lock_guard lock(mutex_);
    experiment_ = name;
  }
  exporter_.prepare_experiment(std::move(name));
}

std::string Tracer::experiment() const {
  std::lock_guard lock(mutex_);
  return experiment_;
}

void Tracer::flush() { exporter_.flush(); }

void Tracer::finish(TraceRecord trace) { exporter_.export_trace(std::move(trace)); }

Tracer& tracer() {
  static Tracer* instance = [] {
    log::logger();  // made first, so it outlives the tracer's last warnings at exit
    static Tracer process_tracer(exporter_from_env());
    return &process_tracer;
  }();
  return *instance;
}

void set_experiment(std::string name) { tracer().set_experiment(std::move(name)); }

void flush() { tracer().flush(); }

Span::Span(std::string name, std::string span_type, Value inputs)
    : Span(tracer(), std::move(name), std::move(span_type), std::move(inputs)) {}

Span::Span(Tracer& tracer, std::string name, std::string span_type, Value inputs)
    : tracer_(tracer), uncaught_at_start_(std::uncaught_exceptions()) {
  // A span of another tracer on this thread is no parent; it keeps its own trace.
  Span* trace_parent = current_span;
  while (trace_parent != nullptr && &trace_parent->tracer_ != &tracer) {
    trace_parent = trace_parent->parent_;
  }
  SpanRecord span{.span_id = random_hex(16),
                  .name = std::move(name),
                  .span_type = std::move(span_type),
                  .start_time_ns = now_ns(),
                  .inputs = std::move(inputs)};
  if (trace_parent != nullptr) {
    trace_ = trace_parent->trace_;
  } else {
    trace_ = std::make_shared<TraceState>();
    trace_->record.trace_id = random_hex(32);
    trace_->record.experiment_name = tracer.experiment();
  }
  std::lock_guard lock(trace_->mutex);
  if (trace_parent != nullptr) {
    span.parent_span_id = trace_->record.spans[trace_parent->index_].span_id;
  }
  index_ = trace_->record.spans.size();
  trace_->record.spans.push_back(std::move(span));
  ++trace_->open;
  parent_ = current_span;  // the innermost open span, restored when this one ends
  current_span = this;
}

Span::~Span() {
  current_span = parent_;
  std::unique_lock lock(trace_->mutex);
  SpanRecord& span = trace_->record.spans[index_];
  span.end_time_ns = now_ns();
  if (std::uncaught_exceptions() > uncaught_at_start_ && span.status == "OK") {
    span.status = "ERROR";
    span.status_message = "an exception was raised";
  }
  if (--trace_->open > 0) return;
  TraceRecord finished = std::move(trace_->record);
  lock.unlock();
  try {
    tracer_.finish(std::move(finished));
  } catch (const std::exception& error) {  // only allocation can fail here; the call goes on
    log::warning("Tracing dropped a trace: {}", error.what());
  }
}

void Span::set_outputs(Value outputs) {
  std::lock_guard lock(trace_->mutex);
  trace_->record.spans[index_].outputs = std::move(outputs);
}

void Span::set_error(std::string message) {
  std::lock_guard lock(trace_->mutex);
  SpanRecord& span = trace_->record.spans[index_];
  span.status = "ERROR";
  span.status_message = std::move(message);
}

namespace {

Value call_in_span(Tracer& tracer, const ValueFunction& function, const std::string& name,
                   const std::string& span_type, const Value& input) {
  Span span(tracer, name, span_type, input);
  try {
    Value output = function(input);
    span.set_outputs(output);
    return output;
  } catch (const std::exception& error) {
    span.set_error(error.what());
    throw;
  }
}

}  // namespace

ValueFunction traced(ValueFunction function, std::string name, std::string span_type) {
  return [function = std::move(function), name = std::move(name),
          span_type = std::move(span_type)](const Value& input) {
    return call_in_span(tracer(), function, name, span_type, input);
  };
}

ValueFunction traced(Tracer& tracer, ValueFunction function, std::string name,
                     std::string span_type) {
  return [&tracer, function = std::move(function), name = std::move(name),
          span_type = std::move(span_type)](const Value& input) {
    return call_in_span(tracer, function, name, span_type, input);
  };
}

}  // namespace platform::tracing
