#include "platform/http/http_client.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "tests/fakes/common/loopback_server.hpp"

namespace platform::http {
namespace {

using std::chrono::milliseconds;

RetryPolicy recording_policy(std::vector<milliseconds>& waits, int max_retries = 2) {
  RetryPolicy policy;
  policy.max_retries = max_retries;
  policy.initial_backoff = milliseconds(100);
  policy.jitter = 0;
  policy.sleep = [&waits](milliseconds delay) { waits.push_back(delay); };
  return policy;
}

TEST(HttpClient, SendsMethodHeadersAndBodyAndReadsTheAnswer) {
  httplib::Server server;
  server.Post("/echo", [](const httplib::Request& request, httplib::Response& response) {
    response.set_header("X-Seen-Auth", request.get_header_value("Authorization"));
    response.status = 201;
    response.set_content("got:" + request.body, "text/plain");
  });
  fakes::LoopbackServer running(server);

  Request request{.method = "POST", .url = running.url() + "/echo", .body = "{\"a\":1}"};
  request.headers.push_back({"Authorization", "Bearer secret"});
  const Result result = perform(request);

  ASSERT_TRUE(result.ok()) << result.error_message();
  EXPECT_EQ(result.response().status, 201);
  EXPECT_EQ(result.response().body, "got:{\"a\":1}");
  EXPECT_EQ(result.response().header("x-seen-auth"), "Bearer secret");
  EXPECT_EQ(result.response().header("missing"), std::nullopt);
}

TEST(HttpClient, ReportsConnectionFailureAndTimeoutAsValues) {
  int closed_port = 0;
  {
    httplib::Server server;
    fakes::LoopbackServer running(server);
    closed_port = running.port();
  }
  const Result refused =
      perform({.url = "http://127.0.0.1:" + std::to_string(closed_port) + "/"});
  EXPECT_EQ(refused.error(), TransportError::kConnectionFailed);

  httplib::Server slow;
  slow.Get("/slow", [](const httplib::Request&, httplib::Response& response) {
    std::this_thread::sleep_for(milliseconds(500));
    response.set_content("late", "text/plain");
  });
  fakes::LoopbackServer running(slow);
  const Result timed_out =
      perform({.url = running.url() + "/slow", .total_timeout = milliseconds(100)});
  EXPECT_EQ(timed_out.error(), TransportError::kTimeout);
  EXPECT_FALSE(timed_out.error_message().empty());
}

TEST(HttpClient, RetriesServerErrorsAndHonoursRetryAfter) {
  std::atomic<int> calls = 0;
  httplib::Server server;
  server.Get("/flaky", [&calls](const httplib::Request&, httplib::Response& response) {
    const int call = ++calls;
    if (call == 1) {
      response.status = 503;
    } else if (call == 2) {
      response.status = 429;
      response.set_header("Retry-After", "3");
    } else {
      response.set_content("fine", "text/plain");
    }
  });
  fakes::LoopbackServer running(server);

  std::vector<milliseconds> waits;
  const Result result = perform_with_retries({.url = running.url() + "/flaky"},
                                             recording_policy(waits));
  ASSERT_TRUE(result.ok());
  EXPECT_EQ(result.response().body, "fine");
  EXPECT_EQ(calls, 3);
  EXPECT_EQ(waits, (std::vector<milliseconds>{milliseconds(100), milliseconds(3000)}));
}

TEST(HttpClient, StopsAfterTheRetryBudgetAndNeverRetriesClientErrors) {
  std::atomic<int> calls = 0;
  httplib::Server server;
  server.Get("/down", [&calls](const httplib::Request&, httplib::Response& response) {
    ++calls;
    response.status = 500;
  });
  server.Get("/bad", [&calls](const httplib::Request&, httplib::Response& response) {
    ++calls;
    response.status = 400;
  });
  fakes::LoopbackServer running(server);
  std::vector<milliseconds> waits;

  const Result down = perform_with_retries({.url = running.url() + "/down"},
                                           recording_policy(waits, 2));
  EXPECT_EQ(down.response().status, 500);
  EXPECT_EQ(calls, 3);
  EXPECT_EQ(waits, (std::vector<milliseconds>{milliseconds(100), milliseconds(200)}));

  calls = 0;
  const Result bad = perform_with_retries({.url = running.url() + "/bad"},
                                          recording_policy(waits, 2));
  EXPECT_EQ(bad.response().status, 400);
  EXPECT_EQ(calls, 1);
}

TEST(HttpClient, ParsesRetryAfterInSecondsAndAsDate) {
  EXPECT_EQ(parse_retry_after(" 2 "), milliseconds(2000));
  EXPECT_EQ(parse_retry_after("0.5"), milliseconds(500));
  EXPECT_EQ(parse_retry_after("Wed, 21 Oct 2015 07:28:00 GMT"), milliseconds(0));  // past
  EXPECT_EQ(parse_retry_after("soon"), std::nullopt);
  EXPECT_EQ(parse_retry_after("-1"), std::nullopt);
}

}  // namespace
}  // namespace platform::http
