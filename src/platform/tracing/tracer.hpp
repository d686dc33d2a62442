// Tracing of calls as spans under an experiment, exported in the background.
//
// A `Span` covers one call: it records its name, type, inputs, outputs, start and end times,
// status and parent. Spans opened while another span of the same tracer is open on the same
// thread become its children; when the outermost span ends, the whole trace is handed to the
// tracer's background exporter (background_exporter.hpp), so the traced call is not held up by
// the store. A span that ends while an exception unwinds through it has status "ERROR".
//
//   platform::tracing::set_experiment("semantic_model_generation");
//   auto traced_completion = platform::tracing::traced(
//       platform::llm::completion, "completion", platform::tracing::span_type::kLLM);
//   {
//     platform::tracing::Span span("build", platform::tracing::span_type::kUnknown);
//     ... traced_completion(request) ...   // a child span of type LLM
//     span.set_outputs(model_value);
//   }
//
// The process-wide tracer (`tracer()`) stores where MLFLOW_TRACKING_URI says
// (exporter_from_env in trace_exporter.hpp), created on first use, which throws for a URI of a
// store that is not served; it flushes when the process ends. Export problems are logged, never
// thrown. Thread-safe.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "platform/tracing/background_exporter.hpp"
#include "platform/tracing/trace_record.hpp"

namespace platform::tracing {

class Tracer {
 public:
  explicit Tracer(std::unique_ptr<TraceExporter> exporter);

  // Selects the experiment of the traces that start from now on, and looks it up or creates it
  // in the store in the background.
  void set_experiment(std::string name);
  std::string experiment() const;
  // Waits until every finished trace has been handed to the store.
  void flush();

  // Used by Span when a trace is complete.
  void finish(TraceRecord trace);

 private:
  mutable std::mutex mutex_;
  std::string experiment_ = "Default";
  BackgroundExporter exporter_;
};

// The process-wide tracer.
Tracer& tracer();
void set_experiment(std::string name);
void flush();

class Span {
 public:
  Span(std::string name, std::string span_type, Value inputs = Value::Map{});
  Span(Tracer& tracer, std::string name, std::string span_type, Value inputs = Value::Map{});
  ~Span();
  Span(const Span&) = delete;
  Span& operator=(const Span&) = delete;

  void set_outputs(Value outputs);
  // Marks the span failed with the error's text.
  void set_error(std::string message);

 private:
  struct TraceState;

  Tracer& tracer_;
  std::shared_ptr<TraceState> trace_;
  std::size_t index_ = 0;
  Span* parent_ = nullptr;  // the span open on this thread before this one
  int uncaught_at_start_ = 0;
};

using ValueFunction = std::function<Value(const Value&)>;

// `function` wrapped so that each call is one span: the argument is its inputs, the result its
// outputs, and an exception marks it failed (and is rethrown unchanged).
ValueFunction traced(ValueFunction function, std::string name, std::string span_type);
ValueFunction traced(Tracer& tracer, ValueFunction function, std::string name,
                     std::string span_type);

}  // namespace platform::tracing
