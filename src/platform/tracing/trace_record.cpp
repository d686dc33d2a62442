#include "platform/tracing/trace_record.hpp"

#include "platform/json/json_writer.hpp"

namespace platform::tracing {

namespace {

Value span_data(const SpanRecord& span, const TraceRecord& trace) {
  Value::Map attributes{
      {"mlflow.traceRequestId", json::write(trace.request_id())},
      {"mlflow.spanType", json::write(span.span_type)},
      {"mlflow.spanInputs", json::write(span.inputs)},
      {"mlflow.spanOutputs", json::write(span.outputs)},
  };
  return Value::Map{
      {"name", span.name},
      {"context",
       Value::Map{{"span_id", "0x" + span.span_id}, {"trace_id", "0x" + trace.trace_id}}},
      {"parent_id", span.parent_span_id ? Value("0x" + *span.parent_span_id) : Value()},
      {"start_time", span.start_time_ns},
      {"end_time", span.end_time_ns},
      {"status_code", span.status},
      {"status_message", span.status_message},
      {"attributes", std::move(attributes)},
      {"events", Value::List{}},
  };
}

}  // namespace

Value trace_data(const TraceRecord& trace) {
  Value::List spans;
  for (const SpanRecord& span : trace.spans) spans.push_back(span_data(span, trace));
  return Value::Map{{"spans", std::move(spans)},
                    {"request", json::write(trace.root().inputs)},
                    {"response", json::write(trace.root().outputs)}};
}

Value trace_info(const TraceRecord& trace, const std::string& experiment_id) {
  const SpanRecord& root = trace.root();
  return Value::Map{
      {"request_id", trace.request_id()},
      {"experiment_id", experiment_id},
      {"timestamp_ms", root.start_time_ns / 1'000'000},
      {"execution_time_ms", (root.end_time_ns - root.start_time_ns) / 1'000'000},
      {"status", root.status},
      {"name", root.name},
  };
}

}  // namespace platform::tracing
