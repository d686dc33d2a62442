// The finished data of a trace: its spans with names, types, inputs, outputs, times, status and
// parent links, and the form both exporters write them in.
//
// A trace is the tree of spans under one root span. Identifiers follow the usual tracing
// conventions: 32 hex digits for a trace, 16 for a span, and the request id "tr-" + trace id.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/value/value.hpp"

namespace platform::tracing {

// Span types as the tracking server names them.
namespace span_type {
inline constexpr const char* kUnknown = "UNKNOWN";
inline constexpr const char* kLLM = "LLM";
inline constexpr const char* kChain = "CHAIN";
}  // namespace span_type

struct SpanRecord {
  std::string span_id;
  std::optional<std::string> parent_span_id;  // absent for the root
  std::string name;
  std::string span_type;
  std::int64_t start_time_ns = 0;
  std::int64_t end_time_ns = 0;
  std::string status = "OK";  // "OK" or "ERROR"
  std::string status_message;
  Value inputs;
  Value outputs;
};

struct TraceRecord {
  std::string trace_id;
  std::string experiment_name;
  std::vector<SpanRecord> spans;  // in start order; the root first

  std::string request_id() const { return "tr-" + trace_id; }
  const SpanRecord& root() const { return spans.front(); }
};

// The spans in the tracking server's span-data layout:
//   {"spans": [{"name", "context": {"span_id", "trace_id"}, "parent_id", "start_time",
//               "end_time", "status_code", "status_message", "attributes": {...}, "events"}],
//    "request": <root inputs as JSON text>, "response": <root outputs as JSON text>}
// Attribute values are JSON texts, as the server expects ("mlflow.spanType": "\"LLM\"").
Value trace_data(const TraceRecord& trace);

// The trace's summary: request id, experiment, start, duration, status and root name.
Value trace_info(const TraceRecord& trace, const std::string& experiment_id);

}  // namespace platform::tracing
