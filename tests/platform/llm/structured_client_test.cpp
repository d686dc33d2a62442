#include "platform/llm/structured_client.hpp"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "platform/json/json_writer.hpp"
#include "tests/fakes/llm/fake_llm.hpp"
#include "tests/support/expect_throw.hpp"

namespace platform::llm {
namespace {

const Value::List kMessages{Value::Map{{"role", "system"}, {"content", "You are an expert."}},
                            Value::Map{{"role", "user"}, {"content", "Which columns?"}}};

TypeSpec join_answer() {
  return TypeSpec::record(
      "JoinRelationship",
      {{"join_type", TypeSpec::one_of({"left_outer", "inner"})}, {"left_table", TypeSpec::text()}});
}

struct StructuredClientTest : ::testing::Test {
  StructuredClient client_for(const fakes::FakeLlm& llm) {
    CompletionSettings settings;
    settings.base_url = llm.base_url();
    settings.retry.sleep = [](std::chrono::milliseconds) {};
    return from_litellm(completion_with(settings));
  }
  static nlohmann::ordered_json body(const fakes::FakeLlm& llm, std::size_t index) {
    return nlohmann::ordered_json::parse(llm.requests().at(index).body);
  }
};

TEST_F(StructuredClientTest, AsksWithOneForcedToolWhoseParametersAreTheSchema) {
  fakes::FakeLlm llm({fakes::tool_call_answer("JoinRelationship",
                                              R"({"left_table":"orders","join_type":"inner"})")});
  const Value answer = client_for(llm).create("gpt-4o-mini", join_answer(), kMessages);
  EXPECT_EQ(json::write(answer), R"({"join_type":"inner","left_table":"orders"})");
  ASSERT_EQ(llm.requests().size(), 1u);
  EXPECT_EQ(
      llm.requests()[0].body,
      R"({"model":"gpt-4o-mini","messages":[{"role":"system","content":"You are an expert."},)"
      R"({"role":"user","content":"Which columns?"}],"tools":[{"type":"function","function":)"
      R"({"name":"JoinRelationship","description":"Correctly extracted `JoinRelationship` with all )"
      R"(the required parameters with correct types","parameters":{"properties":{"join_type":)"
      R"({"enum":["left_outer","inner"],"title":"Join Type","type":"string"},"left_table":)"
      R"({"title":"Left Table","type":"string"}},"required":["join_type","left_table"],)"
      R"("type":"object"}}}],"tool_choice":{"type":"function","function":)"
      R"({"name":"JoinRelationship"}}})");
}

TEST_F(StructuredClientTest, AListOfTextsIsWrappedAsResponseContent) {
  fakes::FakeLlm llm({fakes::tool_call_answer("Response", R"({"content":["order_id","line"]})")});
  const std::vector<std::string> keys =
      client_for(llm).create("gpt-4o-mini", list_of_texts(), kMessages);
  EXPECT_EQ(keys, (std::vector<std::string>{"order_id", "line"}));
  const auto request = body(llm, 0);
  EXPECT_EQ(request["tools"][0]["function"]["parameters"].dump(),
            R"({"properties":{"content":{"items":{"type":"string"},"title":"Content",)"
            R"("type":"array"}},"required":["content"],"type":"object"})");
  EXPECT_EQ(request["tool_choice"]["function"]["name"], "Response");
}

TEST_F(StructuredClientTest, ReasksWithTheValidationErrorsAfterTheAssistantToolCall) {
  fakes::FakeLlm llm(
      {fakes::tool_call_answer("JoinRelationship", R"({"left_table":"o","join_type":"outer"})"),
       fakes::tool_call_answer("JoinRelationship", R"({"left_table":"o","join_type":"inner"})")});
  EXPECT_EQ(json::write(client_for(llm).create("gpt-4o-mini", join_answer(), kMessages)),
            R"({"join_type":"inner","left_table":"o"})");
  ASSERT_EQ(llm.requests().size(), 2u);
  const auto messages = body(llm, 1)["messages"];
  ASSERT_EQ(messages.size(), 4u);
  EXPECT_EQ(messages[0], body(llm, 0)["messages"][0]);  // the caller's messages, unchanged
  EXPECT_EQ(messages[1], body(llm, 0)["messages"][1]);
  EXPECT_EQ(messages[2]["role"], "assistant");
  EXPECT_EQ(messages[2]["tool_calls"][0]["function"]["arguments"],
            R"({"left_table":"o","join_type":"outer"})");
  EXPECT_EQ(messages[3].dump(),
            nlohmann::ordered_json({{"role", "tool"},
                                    {"tool_call_id", "call_1"},
                                    {"name", "JoinRelationship"},
                                    {"content",
                                     "Validation Error found:\n1 validation error for "
                                     "JoinRelationship\njoin_type\n  Input should be 'left_outer' "
                                     "or 'inner' [input_value=\"outer\", input_type=str]\nRecall "
                                     "the function correctly, fix the errors"}})
                .dump());
}

TEST_F(StructuredClientTest, BadJsonAndMissingToolCallsAreReasked) {
  fakes::FakeLlm llm(
      {fakes::tool_call_answer("JoinRelationship", "{not json"),
       fakes::text_answer("I think it is inner."),
       fakes::tool_call_answer("JoinRelationship", R"({"left_table":"o","join_type":"inner"})")});
  client_for(llm).create("gpt-4o-mini", join_answer(), kMessages);
  ASSERT_EQ(llm.requests().size(), 3u);
  EXPECT_EQ(body(llm, 1)["messages"][3]["content"],
            "Validation Error found:\n1 validation error for JoinRelationship\n  Invalid JSON "
            "[input_value={not json]\nRecall the function correctly, fix the errors");
  const auto third = body(llm, 2)["messages"];
  ASSERT_EQ(third.size(), 6u);
  EXPECT_EQ(third[4].dump(), R"({"role":"assistant","content":"I think it is inner."})");
  EXPECT_EQ(third[5]["role"], "user");
  EXPECT_EQ(third[5]["content"],
            "Validation Error found:\nThe answer made no call of the function "
            "`JoinRelationship`\nRecall the function correctly, fix the errors");
}

TEST_F(StructuredClientTest, GivesUpAfterTwoReasksWithTheLastErrors) {
  fakes::FakeLlm llm(
      {fakes::tool_call_answer("JoinRelationship", R"({"join_type":"inner"})"),
       fakes::tool_call_answer("JoinRelationship", R"({"join_type":"inner"})"),
       fakes::tool_call_answer("JoinRelationship", R"({"left_table":"o"})"),
       fakes::tool_call_answer("JoinRelationship", R"({"left_table":"o","join_type":"inner"})")});
  try {
    client_for(llm).create("gpt-4o-mini", join_answer(), kMessages);
    FAIL() << "no error";
  } catch (const StructuredOutputError& error) {
    EXPECT_EQ(error.attempts(), 3);
    EXPECT_EQ(error.last_errors(),
              "1 validation error for JoinRelationship\njoin_type\n  Field required");
    EXPECT_STREQ(error.what(),
                 "The answer failed validation after 3 attempts:\n1 validation error for "
                 "JoinRelationship\njoin_type\n  Field required");
  }
  EXPECT_EQ(llm.requests().size(), 3u);
}

TEST_F(StructuredClientTest, AConversionThatRejectsTheAnswerIsReaskedToo) {
  fakes::FakeLlm llm({fakes::tool_call_answer("Response", R"({"content":[]})"),
                      fakes::tool_call_answer("Response", R"({"content":["id"]})")});
  ResponseModel<std::vector<std::string>> non_empty = list_of_texts();
  auto plain = non_empty.convert;
  non_empty.convert = [plain](const Value& answer) {
    if (answer.as_list().empty()) throw ValidationError("content\n  List should not be empty");
    return plain(answer);
  };
  EXPECT_EQ(client_for(llm).create("gpt-4o-mini", non_empty, kMessages),
            std::vector<std::string>{"id"});
  EXPECT_EQ(llm.requests().size(), 2u);
}

TEST_F(StructuredClientTest, CompletionFailuresAreNotReasked) {
  fakes::FakeLlm llm({fakes::error_answer(400, "bad request")});
  EXPECT_THROW_MSG(client_for(llm).create("gpt-4o-mini", join_answer(), kMessages), CompletionError,
                   "LLM request failed with status 400: bad request");
}

}  // namespace
}  // namespace platform::llm
