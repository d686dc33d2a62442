// The fake warehouse over the wire: sessions, retries, faults, polling, chunks, the analyst.
#include "tests/fakes/snowflake/fake_snowflake.hpp"

#include <gtest/gtest.h>
#include <httplib.h>

#include <fstream>
#include <nlohmann/json.hpp>

#include "tests/fakes/snowflake/gzip.hpp"
#include "tests/support/paths.hpp"

namespace fakes {
namespace {

using nlohmann::json;

// A bare protocol client over HTTPS that trusts only the fake's CA.
class WarehouseClient {
 public:
  explicit WarehouseClient(const FakeSnowflake& fake) : client_(fake.url()) {
    if (!fake.ca_file().empty()) client_.set_ca_cert_path(fake.ca_file().c_str());
    client_.enable_server_certificate_verification(true);
  }

  json post(const std::string& path, const json& body, const std::string& token = "") {
    return parse(client_.Post(path, headers(token), body.dump(), "application/json"));
  }
  json get(const std::string& path, const std::string& token = "") {
    return parse(client_.Get(path, headers(token)));
  }
  json login(const json& credentials) {
    return post("/session/v1/login-request?requestId=login", json{{"data", credentials}});
  }
  // Logs in as the default user and keeps the session token for later calls.
  void log_in() {
    const json answer = login({{"LOGIN_NAME", "tester"}, {"PASSWORD", "secret"}});
    token_ = answer["data"]["token"];
    master_ = answer["data"]["masterToken"];
  }
  json query(const std::string& sql, const std::string& request_id) {
    return post("/queries/v1/query-request?requestId=" + request_id, json{{"sqlText", sql}},
                token_);
  }

  httplib::Client& raw() { return client_; }
  int last_status = 0;
  std::string token_, master_;

 private:
  static httplib::Headers headers(const std::string& token) {
    if (token.empty()) return {};
    return {{"Authorization", "Snowflake Token=\"" + token + "\""}};
  }
  json parse(const httplib::Result& result) {
    if (!result) throw std::runtime_error("no answer: " + httplib::to_string(result.error()));
    last_status = result->status;
    return json::parse(result->body, nullptr, false);
  }
  httplib::Client client_;
};

TEST(FakeSnowflake, LogsInClosesAndRefusesBadCredentials) {
  FakeSnowflake fake({.oauth_token = "oauth", .programmatic_access_token = "pat"});
  WarehouseClient client(fake);
  const json refused = client.login({{"LOGIN_NAME", "tester"}, {"PASSWORD", "nope"}});
  EXPECT_EQ(refused["success"], false);
  EXPECT_EQ(refused["code"], "390100");
  EXPECT_EQ(client.login({{"AUTHENTICATOR", "OAUTH"}, {"TOKEN", "other"}})["code"], "390303");
  EXPECT_EQ(client.login({{"AUTHENTICATOR", "SNOWFLAKE_JWT"}, {"TOKEN", "x.y.z"}})["code"],
            "390144");
  EXPECT_EQ(client.login({{"AUTHENTICATOR", "OAUTH"}, {"TOKEN", "oauth"}})["success"], true);
  EXPECT_EQ(
      client.login({{"AUTHENTICATOR", "PROGRAMMATIC_ACCESS_TOKEN"}, {"TOKEN", "pat"}})["success"],
      true);
  EXPECT_EQ(fake.open_sessions(), 2);

  client.log_in();
  EXPECT_EQ(fake.open_sessions(), 3);
  EXPECT_EQ(client.post("/session?delete=true", json::object(), client.token_)["success"], true);
  EXPECT_EQ(fake.open_sessions(), 2);
  EXPECT_EQ(client.query("SELECT 1", "after-close")["code"], "390111");
  for (const char* token : {"made-up", ""}) {
    client.token_ = token;
    EXPECT_EQ(client.query("SELECT 1", "unknown")["code"], "390104");
    EXPECT_EQ(client.last_status, 401);
  }
}

TEST(FakeSnowflake, ExpiresAndRenewsTokensWithTheRealCodes) {
  FakeSnowflake fake({});
  WarehouseClient client(fake);
  client.log_in();
  fake.expire_session_tokens();
  EXPECT_EQ(client.query("SELECT 1", "a")["code"], "390112");
  const json renewed =
      client.post("/session/token-request",
                  {{"requestType", "RENEW"}, {"oldSessionToken", client.token_}}, client.master_);
  ASSERT_EQ(renewed["success"], true);
  EXPECT_NE(renewed["data"]["sessionToken"], client.token_);
  client.token_ = renewed["data"]["sessionToken"];
  EXPECT_EQ(client.query("SELECT 1", "a")["success"], true);

  fake.expire_master_tokens();
  EXPECT_EQ(client.query("SELECT 1", "b")["code"], "390112");
  EXPECT_EQ(
      client.post("/session/token-request", {{"requestType", "RENEW"}}, client.master_)["code"],
      "390114");
}

TEST(FakeSnowflake, RunsARetriedRequestOnceAndInjectsFaults) {
  FakeSnowflake fake({.tls = false});
  WarehouseClient client(fake);
  client.log_in();
  fake.run_sql("CREATE TABLE t (x INTEGER)");
  const std::string insert = "INSERT INTO t VALUES (1)";

  fake.fail_next("/queries/v1/query-request", 503);
  client.query(insert, "first");
  EXPECT_EQ(client.last_status, 503);
  EXPECT_EQ(fake.executions(insert), 0);  // refused before it ran

  fake.fail_next("/queries/v1/query-request", 502, 1, /*after_handling=*/true);
  client.query(insert, "first");
  EXPECT_EQ(client.last_status, 502);
  EXPECT_EQ(fake.executions(insert), 1);  // ran, but the answer was lost
  const json retried = client.query(insert, "first");
  EXPECT_EQ(retried["data"]["rowset"], json::parse(R"([["1"]])"));
  EXPECT_EQ(fake.executions(insert), 1);
  client.query(insert, "second");
  EXPECT_EQ(fake.executions(insert), 2);

  const auto recorded = fake.requests();
  ASSERT_FALSE(recorded.empty());
  EXPECT_EQ(recorded.back().path, "/queries/v1/query-request");
  EXPECT_EQ(recorded.back().query, "requestId=second");
  EXPECT_EQ(json::parse(recorded.back().body)["sqlText"], insert);
}

TEST(FakeSnowflake, AnswersStatementErrorsWithCodeStateAndQueryId) {
  FakeSnowflake fake({.tls = false});
  WarehouseClient client(fake);
  client.log_in();
  const json failed = client.query("SELECT * FROM missing_table", "e");
  EXPECT_EQ(failed["success"], false);
  EXPECT_EQ(failed["code"], "002003");
  EXPECT_EQ(failed["data"]["sqlState"], "42S02");
  EXPECT_FALSE(failed["data"]["queryId"].get<std::string>().empty());
  EXPECT_EQ(failed["message"],
            "SQL compilation error:\nObject 'missing_table' does not exist or not authorized.");
}

TEST(FakeSnowflake, AnswersLongStatementsInProgressUntilTheyAreDone) {
  FakeSnowflake fake({.tls = false});
  WarehouseClient client(fake);
  client.log_in();
  const json started = client.query("SELECT SYSTEM$WAIT(300, 'MILLISECONDS') AS w", "slow");
  ASSERT_EQ(started["code"], "333333");
  const std::string result_url = started["data"]["getResultUrl"];
  EXPECT_EQ(client.query("SELECT SYSTEM$WAIT(300, 'MILLISECONDS') AS w", "slow")["code"], "333333");
  json polled = client.get(result_url, client.token_);
  for (int attempt = 0; polled["code"] == "333333" && attempt < 20; ++attempt) {
    polled = client.get(result_url, client.token_);
  }
  EXPECT_EQ(polled["data"]["rowset"], json::parse(R"([["waited 300 MILLISECONDS"]])"));
  EXPECT_EQ(fake.executions("SELECT SYSTEM$WAIT(300, 'MILLISECONDS') AS w"), 1);
}

TEST(FakeSnowflake, SplitsLargeResultsIntoGzipChunksGuardedByTheResultKey) {
  FakeSnowflake fake({.rows_per_chunk = 2});
  fake.run_sql("CREATE TABLE n (i INTEGER); INSERT INTO n VALUES (1),(2),(3),(4),(5)");
  WarehouseClient client(fake);
  client.log_in();
  const json data = client.query("SELECT i FROM n ORDER BY i", "chunks")["data"];
  EXPECT_EQ(data["rowset"], json::parse(R"([["1"],["2"]])"));
  EXPECT_EQ(data["total"], 5);
  ASSERT_EQ(data["chunks"].size(), 2u);
  EXPECT_EQ(data["chunks"][1]["rowCount"], 1);

  const std::string url = data["chunks"][0]["url"];
  const std::string path = url.substr(fake.url().size());
  client.raw().set_decompress(false);
  const auto refused = client.raw().Get(path);
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->status, 400);
  const auto chunk = client.raw().Get(
      path, {{"x-amz-server-side-encryption-customer-key", data["qrmk"].get<std::string>()}});
  ASSERT_TRUE(chunk);
  EXPECT_EQ(chunk->get_header_value("Content-Encoding"), "gzip");
  EXPECT_EQ(warehouse::gzip_decompress(chunk->body), R"(["3"],["4"])");
}

TEST(FakeSnowflake, ServesScriptedAnalystAnswersToLiveSessions) {
  osa_test::ScratchDir scratch;
  const auto script = scratch.path() / "analyst.json";
  std::ofstream(script)
      << R"([{"status": 200, "body": {"message": {"content": [{"type": "text", "text": "hi"}]}}}])";
  FakeSnowflake fake({.analyst_script = script.string()});
  fake.add_analyst_answer(503, "busy");
  WarehouseClient client(fake);
  const std::string path = "/api/v2/cortex/analyst/message";
  client.post(path, {{"stream", false}}, "not-a-session");
  EXPECT_EQ(client.last_status, 401);

  client.log_in();
  EXPECT_EQ(client.post(path, {{"stream", false}}, client.token_)["message"]["content"][0]["text"],
            "hi");
  client.post(path, {{"stream", false}}, client.token_);
  EXPECT_EQ(client.last_status, 503);
  client.post(path, {{"stream", false}}, client.token_);
  EXPECT_EQ(client.last_status, 500);  // nothing scripted left

  const auto recorded = fake.requests().back();
  EXPECT_EQ(recorded.path, path);
  EXPECT_EQ(recorded.body, R"({"stream":false})");
}

}  // namespace
}  // namespace fakes
