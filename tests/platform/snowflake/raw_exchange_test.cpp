// RestClient::send_raw against the fake warehouse's analyst endpoint, the one service it has that
// answers outside the envelope protocol.
#include <gtest/gtest.h>

#include <chrono>

#include "platform/http/http_client.hpp"
#include "platform/snowflake/snowflake_error.hpp"
#include "tests/platform/snowflake/fake_warehouse_fixture.hpp"
#include "tests/support/expect_throw.hpp"

namespace platform::snowflake {
namespace {

constexpr const char* kPath = "/api/v2/cortex/analyst/message";

class RawExchangeTest : public osa_test::ConnectedWarehouseTest {
 protected:
  RestClient& rest() { return *connection_->rest(); }
  http::Result send(std::chrono::milliseconds timeout = std::chrono::milliseconds(0)) {
    return rest().send_raw({.path = kPath, .json_body = R"({"q":1})", .total_timeout = timeout});
  }
  std::vector<fakes::RecordedRequest> raw_requests() const { return requests_to(kPath); }
};

TEST_F(RawExchangeTest, SendsTheBodyWithTheSessionTokenAndContentTypeOnly) {
  fake_->add_analyst_answer(200, R"({"answer":"yes"})");
  const http::Result result = send();
  ASSERT_TRUE(result.ok()) << result.error_message();
  EXPECT_EQ(result.response().status, 200);
  EXPECT_EQ(result.response().body, R"({"answer":"yes"})");

  const auto requests = raw_requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].method, "POST");
  EXPECT_EQ(requests[0].query, "") << "no request_guid or retry markers";
  EXPECT_EQ(requests[0].body, R"({"q":1})");
  std::vector<std::pair<std::string, std::string>> own_headers;
  for (const auto& [name, value] : requests[0].headers) {
    if (name == "Authorization" || name == "Content-Type" || name == "User-Agent") {
      own_headers.emplace_back(name, value);
    }
  }
  // The warehouse exchanges' User-Agent is theirs alone.
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"Authorization", "Snowflake Token=\"" + rest().token() + "\""},
      {"Content-Type", "application/json"}};
  EXPECT_EQ(own_headers, expected);
}

TEST_F(RawExchangeTest, ReturnsFailedAnswersAndTransportFailuresWithoutRetrying) {
  fake_->fail_next(kPath, 503);
  const http::Result refused = send();
  ASSERT_TRUE(refused.ok());
  EXPECT_EQ(refused.response().status, 503);
  EXPECT_EQ(raw_requests().size(), 1u);
  EXPECT_TRUE(waits_.empty());

  fake_->hold_next(kPath, std::chrono::seconds(3));
  const http::Result late = send(std::chrono::milliseconds(300));
  EXPECT_EQ(late.error(), http::TransportError::kTimeout);
  EXPECT_EQ(requests_to("/session/token-request").size(), 0u);
}

TEST_F(RawExchangeTest, RenewsTheSessionWhenTheAnswerNamesAnExpiredTokenAndSendsOnceMore) {
  const std::string first_token = rest().token();
  fake_->answer_next(kPath, 200, R"({"code":"390112","message":"expired","success":false})");
  fake_->add_analyst_answer(200, "{}");
  const http::Result result = send();
  ASSERT_TRUE(result.ok());
  EXPECT_EQ(result.response().body, "{}");
  EXPECT_EQ(requests_to("/session/token-request").size(), 1u);
  EXPECT_NE(rest().token(), first_token);
  const auto requests = raw_requests();
  ASSERT_EQ(requests.size(), 2u);
  for (const auto& [name, value] : requests[1].headers) {
    if (name == "Authorization") {
      EXPECT_EQ(value, "Snowflake Token=\"" + rest().token() + "\"");
    }
  }
}

TEST_F(RawExchangeTest, ASecondRefusalIsReturnedForTheCallerToReport) {
  fake_->fail_next(kPath, 401, 2);
  const http::Result result = send();
  ASSERT_TRUE(result.ok());
  EXPECT_EQ(result.response().status, 401);
  EXPECT_EQ(raw_requests().size(), 2u);
  EXPECT_EQ(requests_to("/session/token-request").size(), 1u);
}

TEST_F(RawExchangeTest, AnswersThatAreNotJsonOrNestTooDeeplyRefuseNothing) {
  for (const std::string& body : {std::string("not json"), std::string(100000, '[')}) {
    fake_->add_analyst_answer(200, body);
    const http::Result result = send();
    ASSERT_TRUE(result.ok());
    EXPECT_EQ(result.response().body, body);
  }
  EXPECT_EQ(raw_requests().size(), 2u);
  EXPECT_EQ(requests_to("/session/token-request").size(), 0u);
}

TEST_F(RawExchangeTest, RefusesAnAddressThatIsNotAPathOnTheHost) {
  EXPECT_THROW_MSG(rest().send_raw({.path = "@other.host/x"}), SnowflakeError,
                   "(08001): The warehouse handed back an address that is not a path on its host");
  EXPECT_TRUE(raw_requests().empty());
}

}  // namespace
}  // namespace platform::snowflake
