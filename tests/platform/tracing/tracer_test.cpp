#include "platform/tracing/tracer.hpp"

#include <gtest/gtest.h>

#include <thread>

#include "platform/errors/errors.hpp"
#include "tests/platform/tracing/tracing_test_support.hpp"
#include "tests/support/expect_throw.hpp"

namespace platform::tracing {
namespace {

using tracing_test::Recorded;
using tracing_test::RecordingExporter;

Value echo(const Value& input) { return Value::Map{{"echo", input}}; }

TEST(Tracer, SpansInsideASpanAreItsChildrenInOneTrace) {
  Recorded recorded;
  {
    Tracer tracer(std::make_unique<RecordingExporter>(recorded));
    tracer.set_experiment("semantic_model_generation");
    const ValueFunction completion = traced(tracer, echo, "completion", span_type::kLLM);
    {
      Span build(tracer, "build", span_type::kUnknown);
      EXPECT_EQ(completion(Value("first")), echo(Value("first")));
      completion(Value("second"));
      build.set_outputs("model");
    }
    completion(Value("alone"));
    tracer.flush();
    ASSERT_EQ(recorded.traces.size(), 2u);
  }
  EXPECT_EQ(recorded.experiments, std::vector<std::string>{"semantic_model_generation"});
  const TraceRecord& trace = recorded.traces[0];
  EXPECT_EQ(trace.experiment_name, "semantic_model_generation");
  ASSERT_EQ(trace.spans.size(), 3u);
  EXPECT_EQ(trace.root().name, "build");
  EXPECT_EQ(trace.root().span_type, "UNKNOWN");
  EXPECT_FALSE(trace.root().parent_span_id);
  EXPECT_EQ(trace.root().outputs, Value("model"));
  for (std::size_t i = 1; i < 3; ++i) {
    EXPECT_EQ(trace.spans[i].name, "completion");
    EXPECT_EQ(trace.spans[i].span_type, "LLM");
    EXPECT_EQ(trace.spans[i].parent_span_id, trace.root().span_id);
    EXPECT_LE(trace.root().start_time_ns, trace.spans[i].start_time_ns);
    EXPECT_LE(trace.spans[i].end_time_ns, trace.root().end_time_ns);
  }
  EXPECT_EQ(trace.spans[1].inputs, Value("first"));
  EXPECT_EQ(trace.spans[2].outputs, echo(Value("second")));
  EXPECT_EQ(trace.trace_id.size(), 32u);
  EXPECT_EQ(trace.root().span_id.size(), 16u);
  // The later call outside the build is a trace of its own.
  EXPECT_EQ(recorded.traces[1].spans.size(), 1u);
  EXPECT_NE(recorded.traces[1].trace_id, trace.trace_id);
}

TEST(Tracer, AFailedCallIsAnErrorSpanAndTheErrorPassesUnchanged) {
  Recorded recorded;
  Tracer tracer(std::make_unique<RecordingExporter>(recorded));
  const ValueFunction failing = traced(
      tracer, [](const Value&) -> Value { throw RuntimeError("LLM request failed: down"); },
      "completion", span_type::kLLM);
  auto build = [&] {
    Span span(tracer, "build", span_type::kUnknown);
    failing(Value::Map{});
  };
  EXPECT_THROW_MSG(build(), RuntimeError, "LLM request failed: down");
  tracer.flush();
  ASSERT_EQ(recorded.traces.size(), 1u);
  const TraceRecord& trace = recorded.traces[0];
  EXPECT_EQ(trace.spans[1].status, "ERROR");
  EXPECT_EQ(trace.spans[1].status_message, "LLM request failed: down");
  EXPECT_EQ(trace.root().status, "ERROR");
}

TEST(Tracer, ExportRunsInTheBackgroundWithoutHoldingUpTheCall) {
  Recorded recorded;
  std::promise<void> release;
  recorded.gate = release.get_future().share();
  Tracer tracer(std::make_unique<RecordingExporter>(recorded));
  const ValueFunction completion = traced(tracer, echo, "completion", span_type::kLLM);
  // The exporter is blocked, yet both calls return.
  completion(Value(1));
  completion(Value(2));
  release.set_value();
  tracer.flush();
  EXPECT_EQ(recorded.traces.size(), 2u);
}

TEST(Tracer, ThreadsKeepTheirOwnTraces) {
  Recorded recorded;
  Tracer tracer(std::make_unique<RecordingExporter>(recorded));
  const ValueFunction completion = traced(tracer, echo, "completion", span_type::kLLM);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 10; ++i) {
        Span build(tracer, "build", span_type::kUnknown);
        completion(Value(i));
      }
    });
  }
  for (auto& thread : threads) thread.join();
  tracer.flush();
  ASSERT_EQ(recorded.traces.size(), 40u);
  for (const TraceRecord& trace : recorded.traces) {
    ASSERT_EQ(trace.spans.size(), 2u);
    EXPECT_EQ(trace.spans[1].parent_span_id, trace.root().span_id);
  }
}

TEST(Tracer, SpansOfAnotherTracerAreNoParents) {
  Recorded first_recorded, second_recorded;
  Tracer first(std::make_unique<RecordingExporter>(first_recorded));
  Tracer second(std::make_unique<RecordingExporter>(second_recorded));
  {
    Span outer(first, "outer", span_type::kUnknown);
    Span inner(second, "inner", span_type::kUnknown);
    Span child(first, "child", span_type::kUnknown);
  }
  first.flush();
  second.flush();
  ASSERT_EQ(first_recorded.traces.size(), 1u);
  ASSERT_EQ(first_recorded.traces[0].spans.size(), 2u);
  EXPECT_EQ(first_recorded.traces[0].spans[1].parent_span_id,
            first_recorded.traces[0].root().span_id);
  ASSERT_EQ(second_recorded.traces.size(), 1u);
  EXPECT_EQ(second_recorded.traces[0].spans.size(), 1u);
}

}  // namespace
}  // namespace platform::tracing
