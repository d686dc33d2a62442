#include "platform/http/http_client.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>

#include "platform/cancellation/cancellation_scope.hpp"
#include "tests/fakes/common/loopback_server.hpp"
#include "tests/fakes/snowflake/gzip.hpp"

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

TEST(HttpClient, AnExchangeEndsSoonAfterItsScopeAsksToStopAndIsNotRetried) {
  httplib::Server server;
  std::atomic<int> attempts{0};
  server.Get("/stalls", [&attempts](const httplib::Request&, httplib::Response& response) {
    ++attempts;
    std::this_thread::sleep_for(milliseconds(2000));
    response.set_content("late", "text/plain");
  });
  fakes::LoopbackServer running(server);

  const auto started = std::chrono::steady_clock::now();
  std::atomic<bool> stop{false};
  std::thread stopper([&stop] {
    std::this_thread::sleep_for(milliseconds(200));
    stop = true;
  });
  std::vector<milliseconds> waits;
  Result result = Result::success({});
  {
    CancellationScope scope([&stop] { return stop.load(); });
    result = perform_with_retries({.url = running.url() + "/stalls"}, recording_policy(waits));
    EXPECT_EQ(perform({.url = running.url() + "/stalls"}).error(), TransportError::kCancelled)
        << "a cancelled scope sends nothing more";
  }
  stopper.join();
  EXPECT_EQ(result.error(), TransportError::kCancelled);
  EXPECT_EQ(result.error_message(), "the request was cancelled");
  EXPECT_LT(std::chrono::steady_clock::now() - started, milliseconds(1800));
  EXPECT_EQ(attempts, 1);
  EXPECT_TRUE(waits.empty());
}

TEST(HttpClient, CancelledCallsWaitingToRetryFreeTheirThreadsAtOnce) {
  httplib::Server server;
  std::atomic<int> busy_answers{0};
  server.Get("/busy", [&busy_answers](const httplib::Request&, httplib::Response& response) {
    response.status = 503;
    response.set_header("Retry-After", "30");
    ++busy_answers;
  });
  server.Get("/ok", [](const httplib::Request&, httplib::Response& response) {
    response.set_content("ok", "text/plain");
  });
  fakes::LoopbackServer running(server);

  constexpr int kCalls = 4;
  std::atomic<bool> stop{false};
  std::vector<Result> results(kCalls, Result::success({}));
  std::vector<std::thread> workers;
  for (int i = 0; i < kCalls; ++i) {
    workers.emplace_back([&, i] {
      CancellationScope scope([&stop] { return stop.load(); });
      results[i] = perform_with_retries({.url = running.url() + "/busy"}, {});
    });
  }
  const auto asked = std::chrono::steady_clock::now();
  while (busy_answers < kCalls && std::chrono::steady_clock::now() - asked < milliseconds(5000)) {
    std::this_thread::sleep_for(milliseconds(5));
  }
  std::this_thread::sleep_for(milliseconds(50));  // all four are waiting out the Retry-After now
  const auto cancelled = std::chrono::steady_clock::now();
  stop = true;
  for (auto& worker : workers) worker.join();
  EXPECT_LT(std::chrono::steady_clock::now() - cancelled, milliseconds(500));
  for (const Result& result : results) EXPECT_EQ(result.error(), TransportError::kCancelled);
  EXPECT_EQ(busy_answers, kCalls) << "nothing is sent after the cancellation";

  const auto next = std::chrono::steady_clock::now();
  EXPECT_EQ(perform_with_retries({.url = running.url() + "/ok"}, {}).response().body, "ok");
  EXPECT_LT(std::chrono::steady_clock::now() - next, milliseconds(500));
}

TEST(HttpClient, TheDeadlineBoundsEveryAttemptAndEveryWait) {
  std::atomic<int> calls{0};
  httplib::Server server;
  server.Get("/hangs", [&calls](const httplib::Request&, httplib::Response& response) {
    ++calls;
    std::this_thread::sleep_for(milliseconds(1500));
    response.set_content("late", "text/plain");
  });
  server.Get("/busy", [&calls](const httplib::Request&, httplib::Response& response) {
    ++calls;
    response.status = 503;
    response.set_header("Retry-After", "1");
  });
  fakes::LoopbackServer running(server);
  std::vector<milliseconds> waits;
  RetryPolicy policy = recording_policy(waits, 5);

  policy.deadline = std::chrono::steady_clock::now() + milliseconds(300);
  const auto started = std::chrono::steady_clock::now();
  const Result hung = perform_with_retries({.url = running.url() + "/hangs"}, policy);
  EXPECT_EQ(hung.error(), TransportError::kTimeout);
  EXPECT_GE(std::chrono::steady_clock::now() + milliseconds(20), policy.deadline)
      << "the attempt ran until about the deadline";
  EXPECT_LT(std::chrono::steady_clock::now() - started, milliseconds(1000));
  EXPECT_EQ(calls, 1);
  EXPECT_TRUE(waits.empty()) << "no wait is begun that would end past the deadline";

  calls = 0;
  policy.deadline = std::chrono::steady_clock::now() + milliseconds(500);
  const Result busy = perform_with_retries({.url = running.url() + "/busy"}, policy);
  EXPECT_EQ(busy.response().status, 503) << "the last answer is returned as it is";
  EXPECT_EQ(calls, 1);
  EXPECT_TRUE(waits.empty());

  calls = 0;
  policy.deadline = std::chrono::steady_clock::now() - milliseconds(1);
  EXPECT_EQ(perform_with_retries({.url = running.url() + "/busy"}, policy).error(),
            TransportError::kTimeout);
  EXPECT_EQ(calls, 0);
}

TEST(HttpClient, EachAttemptIsPreparedFromTheOriginalRequest) {
  std::vector<std::string> targets;
  std::mutex mutex;
  httplib::Server server;
  server.Get("/r", [&](const httplib::Request& request, httplib::Response& response) {
    std::lock_guard lock(mutex);
    targets.push_back(request.target);
    response.status = targets.size() == 1 ? 408 : targets.size() == 2 ? 503 : 200;
  });
  fakes::LoopbackServer running(server);
  std::vector<milliseconds> waits;
  RetryPolicy policy = recording_policy(waits);
  policy.prepare_attempt = [](Request& request, const Attempt& attempt) {
    request.url += "?try=" + std::to_string(attempt.number) +
                   "&reason=" + std::to_string(attempt.retry_reason);
  };
  EXPECT_EQ(perform_with_retries({.url = running.url() + "/r"}, policy).response().status, 200);
  EXPECT_EQ(targets, (std::vector<std::string>{"/r?try=0&reason=0", "/r?try=1&reason=408",
                                               "/r?try=2&reason=503"}));
}

TEST(HttpClient, ReportsConnectionFailureAndTimeoutAsValues) {
  int closed_port = 0;
  {
    httplib::Server server;
    fakes::LoopbackServer running(server);
    closed_port = running.port();
  }
  const Result refused = perform({.url = "http://127.0.0.1:" + std::to_string(closed_port) + "/"});
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
  const Result result =
      perform_with_retries({.url = running.url() + "/flaky"}, recording_policy(waits));
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

  const Result down =
      perform_with_retries({.url = running.url() + "/down"}, recording_policy(waits, 2));
  EXPECT_EQ(down.response().status, 500);
  EXPECT_EQ(calls, 3);
  EXPECT_EQ(waits, (std::vector<milliseconds>{milliseconds(100), milliseconds(200)}));

  calls = 0;
  const Result bad =
      perform_with_retries({.url = running.url() + "/bad"}, recording_policy(waits, 2));
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

TEST(HttpClient, ClampsRetryAfterValuesBeyondReason) {
  for (const char* huge :
       {"1e300", "1e999", "inf", "99999999999999999999", "Fri, 31 Dec 9999 23:59:59 GMT"}) {
    EXPECT_EQ(parse_retry_after(huge), kMaxRetryAfter) << huge;
  }
  for (const char* senseless : {"nan", "-inf", "-1e999"}) {
    EXPECT_EQ(parse_retry_after(senseless), std::nullopt) << senseless;
  }
  EXPECT_EQ(parse_retry_after("1e-999"), milliseconds(0));
}

TEST(HttpClient, RefusesBadUrlsAtOnceWithoutRetrying) {
  std::vector<milliseconds> waits;
  for (const std::string url : {"", "  ", "not a url", "http://[::1", "file:///etc/passwd",
                                "ftp://127.0.0.1/x", "gopher://127.0.0.1/"}) {
    SCOPED_TRACE(url);
    const Result result = perform_with_retries({.url = url}, recording_policy(waits, 5));
    EXPECT_EQ(result.error(), TransportError::kRefusedUrl);
    EXPECT_FALSE(result.error_message().empty());
  }
  EXPECT_TRUE(waits.empty());
  EXPECT_FALSE(is_transient(TransportError::kTls));
  EXPECT_FALSE(is_transient(TransportError::kOther));
  EXPECT_TRUE(is_transient(TransportError::kTimeout));
}

TEST(HttpClient, KeepsPlainHttpToLoopbackWhenTheRequestAsksForTls) {
  for (const char* host : {"localhost", "LOCALHOST", "127.0.0.1", "127.255.0.9", "::1", "[::1]"}) {
    EXPECT_TRUE(is_loopback_host(host)) << host;
  }
  for (const char* host :
       {"", "example.com", "localhost.example.com", "128.0.0.1", "::2", "127.0.0.1.nip.io"}) {
    EXPECT_FALSE(is_loopback_host(host)) << host;
  }
  const Schemes strict = Schemes::kHttpsOrLoopbackHttp;
  EXPECT_EQ(url_refusal("https://example.com/a", strict), std::nullopt);
  EXPECT_EQ(url_refusal("http://127.0.0.1:8080/a", strict), std::nullopt);
  EXPECT_EQ(url_refusal("http://[::1]:8080/a", strict), std::nullopt);
  EXPECT_EQ(url_refusal("http://example.com/a?X-Amz-Signature=secret", Schemes::kHttpOrHttps),
            std::nullopt);
  const auto refusal = url_refusal("http://example.com/a?X-Amz-Signature=secret", strict);
  ASSERT_TRUE(refusal.has_value());
  EXPECT_EQ(*refusal,
            "plain http to example.com is refused (only a loopback host is reached without TLS); "
            "use https");
  const Result result = perform({.url = "http://example.com/", .schemes = strict});
  EXPECT_EQ(result.error(), TransportError::kRefusedUrl);
}

TEST(HttpClient, FailsAnAnswerLargerThanTheLimitAfterDecoding) {
  const std::string big(100000, 'x');
  httplib::Server server;
  server.Get("/plain", [&](const httplib::Request&, httplib::Response& response) {
    response.set_content(big, "text/plain");
  });
  // A few hundred compressed bytes that decode to 100 kB: the limit holds for the decoded size.
  server.Get("/bomb", [&](const httplib::Request&, httplib::Response& response) {
    response.set_header("Content-Encoding", "gzip");
    response.set_content(fakes::warehouse::gzip_compress(big), "text/plain");
  });
  fakes::LoopbackServer running(server);
  for (const char* path : {"/plain", "/bomb"}) {
    SCOPED_TRACE(path);
    const Result fits = perform({.url = running.url() + path, .max_body_bytes = big.size()});
    ASSERT_TRUE(fits.ok()) << fits.error_message();
    EXPECT_EQ(fits.response().body, big);
    const Result too_large =
        perform({.url = running.url() + path, .max_body_bytes = big.size() - 1});
    EXPECT_EQ(too_large.error(), TransportError::kTooLarge);
    EXPECT_EQ(too_large.error_message(), "the answer is larger than the limit of 99999 bytes");
  }
}

}  // namespace
}  // namespace platform::http
