#include "platform/llm/completion.hpp"

#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/json/json_writer.hpp"
#include "tests/fakes/llm/fake_llm.hpp"
#include "tests/support/expect_throw.hpp"
#include "tests/support/log_capture.hpp"

namespace platform::llm {
namespace {

using namespace std::chrono_literals;

const Value kRequest = Value::Map{
    {"model", "gpt-4o-mini"},
    {"messages", Value::List{Value::Map{{"role", "user"}, {"content", "Hi \"there\""}}}}};

struct CompletionTest : ::testing::Test {
  std::vector<std::chrono::milliseconds> sleeps;

  CompletionSettings settings_for(const fakes::FakeLlm& llm) {
    CompletionSettings settings;
    settings.api_key = "sk-test-secret";
    settings.base_url = llm.base_url() + "/";
    settings.retry.sleep = [this](std::chrono::milliseconds delay) { sleeps.push_back(delay); };
    return settings;
  }
};

TEST_F(CompletionTest, PostsTheBodyAsGivenWithTheKeyAsBearer) {
  fakes::FakeLlm llm({fakes::text_answer("Hello")});
  const Value answer = completion_with(settings_for(llm))(kRequest);
  ASSERT_EQ(llm.requests().size(), 1u);
  EXPECT_EQ(llm.requests()[0].path, "/v1/chat/completions");
  EXPECT_EQ(llm.requests()[0].authorization, "Bearer sk-test-secret");
  EXPECT_EQ(llm.requests()[0].body, json::write(kRequest));
  EXPECT_EQ(answer.find("choices")->as_list()[0].find("message")->find("content")->as_string(),
            "Hello");
}

TEST_F(CompletionTest, TheLoggedAddressShowsNoPasswordOfTheBaseUrl) {
  fakes::FakeLlm llm({fakes::text_answer("Hello")});
  CompletionSettings settings = settings_for(llm);
  const std::string base = llm.base_url();  // "http://127.0.0.1:<port>/v1"
  settings.base_url = "http://user:pw-in-url@" + base.substr(std::string("http://").size());
  osa_test::LogCapture log;
  completion_with(settings)(kRequest);
  EXPECT_EQ(llm.requests().size(), 1u);
  EXPECT_NE(log.text().find("to " + base + "/chat/completions"), std::string::npos) << log.text();
  EXPECT_EQ(log.text().find("pw-in-url"), std::string::npos) << log.text();
}

TEST_F(CompletionTest, RetriesRateLimitsAndServerErrorsHonouringRetryAfter) {
  fakes::FakeLlm llm({fakes::error_answer(429, "Rate limit reached", "3"),
                      fakes::error_answer(503, "overloaded"), fakes::text_answer("ok")});
  completion_with(settings_for(llm))(kRequest);
  EXPECT_EQ(llm.requests().size(), 3u);
  ASSERT_EQ(sleeps.size(), 2u);
  EXPECT_EQ(sleeps[0], 3000ms);
  EXPECT_GE(sleeps[1], 1000ms);  // the second backoff step, plus jitter
  EXPECT_LE(sleeps[1], 1250ms);
}

TEST_F(CompletionTest, GivesUpAfterTwoRetriesWithTheProviderMessage) {
  fakes::FakeLlm llm({fakes::error_answer(500, "boom 1"), fakes::error_answer(500, "boom 2"),
                      fakes::error_answer(500, "boom 3"), fakes::text_answer("never")});
  try {
    completion_with(settings_for(llm))(kRequest);
    FAIL() << "no error";
  } catch (const CompletionError& error) {
    EXPECT_EQ(error.status(), 500);
    EXPECT_EQ(error.provider_message(), "boom 3");
    EXPECT_STREQ(error.what(), "LLM request failed with status 500: boom 3");
  }
  EXPECT_EQ(llm.requests().size(), 3u);
}

TEST_F(CompletionTest, OtherClientErrorsAreNotRetriedAndNeverShowTheKey) {
  fakes::FakeLlm llm({fakes::error_answer(401, "Incorrect API key provided: sk-test-secret")});
  EXPECT_THROW_MSG(completion_with(settings_for(llm))(kRequest), RuntimeError,
                   "LLM request failed with status 401: Incorrect API key provided: ***");
  EXPECT_EQ(llm.requests().size(), 1u);
}

TEST_F(CompletionTest, RequestTimeLimitEndsASlowAnswer) {
  fakes::LlmAnswer slow = fakes::text_answer("late");
  slow.delay = 3s;
  fakes::FakeLlm llm({slow});
  CompletionSettings settings = settings_for(llm);
  settings.timeout = 200ms;
  settings.retry.max_retries = 0;
  EXPECT_THROW_SUBSTR(completion_with(settings)(kRequest), CompletionError, "LLM request failed: ");
}

TEST_F(CompletionTest, NonJsonAnswerIsAnError) {
  fakes::FakeLlm llm({fakes::LlmAnswer{.status = 200, .body = "<html>"}});
  EXPECT_THROW_MSG(completion_with(settings_for(llm))(kRequest), CompletionError,
                   "LLM request failed with status 200: the answer is not a JSON object");
}

TEST_F(CompletionTest, AKeyFoundInItsOwnBlankingIsBlankedOnce) {
  fakes::FakeLlm llm({fakes::error_answer(401, "key * refused; ** is no key either")});
  CompletionSettings settings = settings_for(llm);
  settings.api_key = "*";
  EXPECT_THROW_MSG(completion_with(settings)(kRequest), CompletionError,
                   "LLM request failed with status 401: key *** refused; ****** is no key either");
}

TEST_F(CompletionTest, RefusesAnswersTooLargeOrNestedTooDeeply) {
  fakes::FakeLlm llm(
      {fakes::text_answer(std::string(1000, 'x')),
       fakes::LlmAnswer{.status = 200, .body = std::string(300, '[') + std::string(300, ']')}});
  CompletionSettings settings = settings_for(llm);
  settings.max_answer_bytes = 500;
  EXPECT_THROW_MSG(completion_with(settings)(kRequest), CompletionError,
                   "LLM request failed: the answer is larger than the limit of 500 bytes");
  EXPECT_THROW_MSG(completion_with(settings_for(llm))(kRequest), platform::ValueError,
                   "The LLM's answer nests arrays and objects deeper than 256 levels");
}

TEST(CompletionSettings, ReadFromTheProviderVariables) {
  ::unsetenv("OPENAI_BASE_URL");
  ::unsetenv("OPENAI_API_BASE");
  ::setenv("OPENAI_API_KEY", "sk-env", 1);
  EXPECT_EQ(CompletionSettings::from_env().base_url, "https://api.openai.com/v1");
  EXPECT_EQ(CompletionSettings::from_env().api_key, "sk-env");
  EXPECT_EQ(CompletionSettings::from_env().timeout, std::chrono::seconds(600));
  EXPECT_EQ(CompletionSettings::from_env().retry.max_retries, 2);
  ::setenv("OPENAI_API_BASE", "http://legacy/v1", 1);
  EXPECT_EQ(CompletionSettings::from_env().base_url, "http://legacy/v1");
  ::setenv("OPENAI_BASE_URL", "http://current/v1", 1);
  EXPECT_EQ(CompletionSettings::from_env().base_url, "http://current/v1");
  ::unsetenv("OPENAI_BASE_URL");
  ::unsetenv("OPENAI_API_BASE");
  ::unsetenv("OPENAI_API_KEY");
}

}  // namespace
}  // namespace platform::llm
