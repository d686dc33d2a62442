// The generator's composition: a structured client over the traced completion function.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/json/json_writer.hpp"
#include "platform/llm/structured_client.hpp"
#include "platform/tracing/tracer.hpp"
#include "tests/fakes/llm/fake_llm.hpp"
#include "tests/platform/tracing/tracing_test_support.hpp"

namespace platform::llm {
namespace {

TEST(TracedStructuredClient, EachAttemptIsOneLlmSpanUnderTheBuild) {
  fakes::FakeLlm llm({fakes::tool_call_answer("Response", R"({"content":"id"})"),
                      fakes::tool_call_answer("Response", R"({"content":["id"]})")});
  ::setenv("OPENAI_BASE_URL", llm.base_url().c_str(), 1);
  ::setenv("OPENAI_API_KEY", "sk-never-traced", 1);
  tracing_test::Recorded recorded;
  {
    tracing::Tracer tracer(std::make_unique<tracing_test::RecordingExporter>(recorded));
    const CompletionFunction traced_completion =
        tracing::traced(tracer, completion, "completion", tracing::span_type::kLLM);
    tracing::Span build(tracer, "build", tracing::span_type::kUnknown);
    const auto keys = from_litellm(traced_completion)
                          .create("gpt-4o-mini", list_of_texts(),
                                  Value::List{Value::Map{{"role", "user"}, {"content", "Key?"}}});
    EXPECT_EQ(keys, std::vector<std::string>{"id"});
  }
  ::unsetenv("OPENAI_BASE_URL");
  ::unsetenv("OPENAI_API_KEY");
  ASSERT_EQ(recorded.traces.size(), 1u);
  const tracing::TraceRecord& trace = recorded.traces[0];
  ASSERT_EQ(trace.spans.size(), 3u);
  for (std::size_t i = 1; i < 3; ++i) {
    EXPECT_EQ(trace.spans[i].span_type, "LLM");
    EXPECT_EQ(trace.spans[i].parent_span_id, trace.root().span_id);
    EXPECT_EQ(json::write(trace.spans[i].inputs).find("sk-never-traced"), std::string::npos);
  }
  // The second attempt carries the re-ask: 1 user message + assistant + tool.
  EXPECT_EQ(trace.spans[2].inputs.find("messages")->as_list().size(), 3u);
}

}  // namespace
}  // namespace platform::llm
