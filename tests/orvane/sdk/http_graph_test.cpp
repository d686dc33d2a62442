// The HTTP transport of the catalogue client: headers, retries, timeouts, error answers and
// keeping the token out of every error text and log line.
#include <gtest/gtest.h>
#include <spdlog/sinks/ostream_sink.h>

#include <nlohmann/json.hpp>
#include <sstream>

#include "orvane/sdk/graphql_error.hpp"
#include "platform/log/log.hpp"
#include "tests/orvane/sdk/catalogue_under_test.hpp"
#include "tests/support/expect_throw.hpp"

namespace {

using orvane::sdk::HttpGraphOptions;
using orvane::sdk::HttpOrvaneGraph;
using orvane_test::kToken;
using platform::Value;
using namespace std::chrono_literals;

constexpr char kEntityQuery[] = "query { entity(urn: $urn) { urn } }";

class HttpGraph : public ::testing::Test {
 protected:
  HttpOrvaneGraph graph(HttpGraphOptions options = {}) {
    options.server_url = fake_.url();
    options.token = kToken;
    if (!options.retry.sleep) {
      options.retry.sleep = [this](std::chrono::milliseconds delay) { delays_.push_back(delay); };
    }
    return HttpOrvaneGraph(options);
  }
  Value read_orders(HttpOrvaneGraph graph) {
    return graph.execute_graphql(kEntityQuery,
                                 Value::Map{{"urn", orvane_test::dataset_text("orders")}});
  }

  fakes::FakeCatalogue fake_{{.fixture_path = orvane_test::kFixture, .token = kToken}};
  std::vector<std::chrono::milliseconds> delays_;
};

TEST_F(HttpGraph, PostsTheOperationWithTheBearerToken) {
  read_orders(graph());
  const auto requests = fake_.requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].path, "/api/graphql");
  EXPECT_EQ(requests[0].header("Authorization"), "Bearer " + std::string(kToken));
  EXPECT_EQ(requests[0].header("Content-Type"), "application/json");
  const auto body = nlohmann::ordered_json::parse(requests[0].body);
  EXPECT_EQ(body["query"], kEntityQuery);
  EXPECT_EQ(body["variables"]["urn"], orvane_test::dataset_text("orders"));
}

TEST_F(HttpGraph, ServerUrlMayEndInASlashAndMustBeHttp) {
  EXPECT_EQ(HttpOrvaneGraph({.server_url = "https://user:pw@cat.example.com/base/"}).endpoint(),
            "https://cat.example.com/base/api/graphql");
  EXPECT_THROW_MSG(HttpOrvaneGraph({.server_url = "cat.example.com"}), platform::ValueError,
                   "Catalogue server url must start with http:// or https://, got "
                   "\"cat.example.com\"");
}

TEST_F(HttpGraph, RetriesServerErrorsThenSucceeds) {
  fake_.script({.status = 500, .body = "oops"});
  fake_.script({.status = 503, .body = "busy"});
  const Value data = read_orders(graph());
  EXPECT_FALSE(data.find("entity")->is_null());
  EXPECT_EQ(fake_.requests().size(), 3u);
  ASSERT_EQ(delays_.size(), 2u);
  EXPECT_LT(delays_[0], delays_[1]);  // backoff grows
}

TEST_F(HttpGraph, HonoursRetryAfterOnTooManyRequests) {
  fake_.script({.status = 429, .headers = {{"Retry-After", "2"}}});
  read_orders(graph());
  ASSERT_EQ(delays_.size(), 1u);
  EXPECT_EQ(delays_[0], 2s);
}

TEST_F(HttpGraph, GivesUpAfterTheLastRetry) {
  for (int i = 0; i < 3; ++i) fake_.script({.status = 502, .body = "bad gateway"});
  EXPECT_THROW_MSG(
      read_orders(graph({.retry = {.max_retries = 2}})), platform::RuntimeError,
      "Catalogue request to " + fake_.url() + "/api/graphql failed with HTTP 502: bad gateway");
  EXPECT_EQ(fake_.requests().size(), 3u);
}

TEST_F(HttpGraph, ClientErrorsAreNotRetried) {
  fake_.script({.status = 404, .body = "no such route"});
  EXPECT_THROW_SUBSTR(read_orders(graph()), platform::RuntimeError,
                      "failed with HTTP 404: no such route");
  EXPECT_EQ(fake_.requests().size(), 1u);
  EXPECT_TRUE(delays_.empty());
}

TEST_F(HttpGraph, SlowAnswersTimeOut) {
  fake_.script({.delay = 5s, .from_catalogue = true});
  const auto started = std::chrono::steady_clock::now();
  const HttpOrvaneGraph impatient = graph({.total_timeout = 200ms, .retry = {.max_retries = 0}});
  EXPECT_THROW_SUBSTR(read_orders(impatient), platform::RuntimeError, "/api/graphql failed: ");
  EXPECT_LT(std::chrono::steady_clock::now() - started, 3s);
}

TEST_F(HttpGraph, ATimeoutIsRetried) {
  fake_.script({.delay = 5s, .from_catalogue = true});
  const Value data = read_orders(graph({.total_timeout = 300ms, .retry = {.max_retries = 1}}));
  EXPECT_FALSE(data.find("entity")->is_null());
  EXPECT_EQ(delays_.size(), 1u);
}

TEST_F(HttpGraph, UnreachableServerFailsClearly) {
  std::string url;
  {
    fakes::FakeCatalogue gone({.fixture_path = orvane_test::kFixture});
    url = gone.url();
  }
  HttpOrvaneGraph unreachable(
      {.server_url = url, .token = kToken, .retry = orvane_test::quick_retries(1)});
  EXPECT_THROW_SUBSTR(unreachable.execute_graphql(kEntityQuery, Value()), platform::RuntimeError,
                      "Catalogue request to " + url + "/api/graphql failed: ");
}

TEST_F(HttpGraph, MalformedOrTruncatedAnswersRaiseClearErrors) {
  fake_.script({.body = R"({"data": {"entity": {"urn": "urn:orva)"});
  EXPECT_THROW_SUBSTR(read_orders(graph()), platform::RuntimeError,
                      "Malformed catalogue answer from " + fake_.url() +
                          "/api/graphql: not JSON (HTTP 200, 37 bytes)");
  fake_.script({.body = R"({"result": 1})"});
  EXPECT_THROW_SUBSTR(read_orders(graph()), platform::RuntimeError, "no \"data\" object");
  fake_.script({.body = R"([1, 2])"});
  EXPECT_THROW_SUBSTR(read_orders(graph()), platform::RuntimeError, "no \"data\" object");
  fake_.script({.body = R"({"data": {"entity": {"urn": "x", "aspects": [{"value": 1}]}}})"});
  EXPECT_THROW_MSG(HttpOrvaneGraph(graph()).get_entity_semityped("x"), platform::RuntimeError,
                   "Malformed catalogue answer: entity x: aspects[0]: missing field \"name\"");
}

TEST_F(HttpGraph, RefusesAnswersTooLargeOrNestedTooDeeply) {
  fake_.script(
      {.body = R"({"data": {"entity": null}, "padding": ")" + std::string(1000, 'x') + R"("})"});
  EXPECT_THROW_MSG(read_orders(graph({.max_answer_bytes = 1000})), platform::RuntimeError,
                   "Catalogue request to " + fake_.url() +
                       "/api/graphql failed: the answer is larger than the limit of 1000 bytes");
  fake_.script(
      {.body = R"({"data": )" + std::string(100000, '[') + std::string(100000, ']') + "}"});
  EXPECT_THROW_MSG(read_orders(graph()), platform::ValueError,
                   "The catalogue answer from " + fake_.url() +
                       "/api/graphql nests arrays and objects deeper than 256 levels");
}

TEST_F(HttpGraph, EveryGraphQLErrorMessageIsKept) {
  fake_.script({.body = R"({"data": null, "errors": [{"message": "first"},
                          {"message": "second", "path": ["entity"]}, {"code": 7}]})"});
  try {
    read_orders(graph());
    FAIL() << "no error";
  } catch (const orvane::sdk::GraphQLError& error) {
    EXPECT_EQ(error.messages(), (std::vector<std::string>{"first", "second", R"({"code":7})"}));
  }
}

TEST_F(HttpGraph, TheTokenNeverReachesAnErrorOrTheLog) {
  std::ostringstream log_text;
  auto sink = std::make_shared<spdlog::sinks::ostream_sink_mt>(log_text);
  platform::log::logger()->sinks().push_back(sink);

  HttpOrvaneGraph wrong_token({.server_url = fake_.url(), .token = "wrong-" + std::string(kToken)});
  EXPECT_THROW_MSG(read_orders(wrong_token), platform::RuntimeError,
                   "Catalogue request to " + fake_.url() +
                       "/api/graphql failed with HTTP 401 (check ORVANE_TOKEN): Unauthorized");

  // A server that echoes the request back must not leak the token either.
  fake_.script(
      {.status = 400, .body = "bad request: Authorization: Bearer " + std::string(kToken)});
  EXPECT_THROW_MSG(read_orders(graph()), platform::RuntimeError,
                   "Catalogue request to " + fake_.url() +
                       "/api/graphql failed with HTTP 400: bad request: Authorization: Bearer ***");
  fake_.script(
      {.body = R"({"errors": [{"message": "token )" + std::string(kToken) + R"( expired"}]})"});
  EXPECT_THROW_MSG(read_orders(graph()), orvane::sdk::GraphQLError,
                   "Catalogue GraphQL errors: token *** expired");

  // A token that occurs in its own blanking "***" is blanked once, not forever.
  HttpOrvaneGraph star_token({.server_url = fake_.url(), .token = "*"});
  fake_.script({.status = 400, .body = "echoed: Bearer *"});
  EXPECT_THROW_MSG(read_orders(star_token), platform::RuntimeError,
                   "Catalogue request to " + fake_.url() +
                       "/api/graphql failed with HTTP 400: echoed: Bearer ***");

  platform::log::logger()->sinks().pop_back();
  EXPECT_NE(log_text.str().find("Catalogue GraphQL request"), std::string::npos);
  EXPECT_EQ(log_text.str().find(kToken), std::string::npos);
}

}  // namespace
