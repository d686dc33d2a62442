#include "platform/snowflake/connection.hpp"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "platform/cancellation/cancellation_scope.hpp"
#include "platform/errors/errors.hpp"
#include "platform/snowflake/snowflake_error.hpp"
#include "tests/platform/snowflake/fake_warehouse_fixture.hpp"
#include "tests/platform/snowflake/test_keys.hpp"
#include "tests/support/expect_throw.hpp"

namespace platform::snowflake {
namespace {

using osa_test::FakeWarehouseTest;

// The value of one parameter of a URL query text; empty when absent.
std::string query_parameter(const std::string& query, const std::string& name) {
  size_t start = 0;
  while (start <= query.size()) {
    const size_t end = std::min(query.find('&', start), query.size());
    const std::string pair = query.substr(start, end - start);
    if (pair.starts_with(name + "=")) return pair.substr(name.size() + 1);
    start = end + 1;
  }
  return "";
}

std::int64_t single_int(Connection& connection, const std::string& sql) {
  const QueryResult result = connection.execute(sql);
  EXPECT_EQ(result.rows.size(), 1u);
  return result.rows.at(0).at(0).as_int();
}

class ConnectionTest : public FakeWarehouseTest {};

TEST_F(ConnectionTest, LogsInWithAPasswordRunsAQueryAndClosesTheSession) {
  auto connection = Connection::open(options());
  EXPECT_EQ(connection->host(), "127.0.0.1:" + std::to_string(fake_->port()));
  ASSERT_NE(connection->rest(), nullptr);
  EXPECT_FALSE(connection->rest()->token().empty());
  EXPECT_EQ(fake_->open_sessions(), 1);
  EXPECT_EQ(single_int(*connection, "SELECT 1 + 1"), 2);

  connection->close();
  EXPECT_EQ(connection->rest(), nullptr);
  EXPECT_EQ(fake_->open_sessions(), 0);
  EXPECT_THROW_SUBSTR(connection->execute("SELECT 1"), SnowflakeError, "closed");
}

TEST_F(ConnectionTest, ClosesTheSessionWhenTheOwnerGoesAway) {
  { auto connection = Connection::open(options()); }
  EXPECT_EQ(fake_->open_sessions(), 0);
  EXPECT_EQ(requests_to("/session").size(), 2u);  // login, then delete
}

TEST_F(ConnectionTest, AWrongPasswordFailsWithoutEchoingIt) {
  ConnectionOptions wrong = options();
  wrong.password = "not-the-secret";
  try {
    Connection::open(wrong);
    FAIL() << "login succeeded";
  } catch (const SnowflakeError& error) {
    EXPECT_FALSE(error.code().empty());
    EXPECT_EQ(std::string(error.what()).find("not-the-secret"), std::string::npos);
  }
  // A refused login is an answer, not a fault: it is not retried.
  EXPECT_EQ(requests_to("/session/v1/login-request").size(), 1u);
}

TEST_F(ConnectionTest, LogsInWithEveryOtherAuthenticator) {
  const osa_test::TestKeyPair keys = osa_test::make_test_key_pair();
  start({.public_key_pem = keys.public_pem,
         .oauth_token = "oauth-token-value",
         .programmatic_access_token = "pat-value"});
  struct Case {
    const char* name;
    Authenticator authenticator;
    std::string private_key;
    std::string passphrase;
    std::string token;
  };
  const Case cases[] = {
      {"key pair, PKCS#8", Authenticator::kKeyPair, keys.private_pkcs8, "", ""},
      {"key pair, PKCS#1", Authenticator::kKeyPair, keys.private_pkcs1, "", ""},
      {"key pair, encrypted", Authenticator::kKeyPair, keys.private_encrypted, keys.passphrase, ""},
      {"OAuth", Authenticator::kOAuth, "", "", "oauth-token-value"},
      {"programmatic access token", Authenticator::kProgrammaticAccessToken, "", "", "pat-value"},
  };
  for (const Case& test_case : cases) {
    SCOPED_TRACE(test_case.name);
    ConnectionOptions chosen = options();
    chosen.password.clear();
    chosen.authenticator = test_case.authenticator;
    chosen.private_key_pem = test_case.private_key;
    chosen.private_key_passphrase = test_case.passphrase;
    chosen.token = test_case.token;
    auto connection = Connection::open(chosen);
    EXPECT_EQ(single_int(*connection, "SELECT 7"), 7);
  }

  ConnectionOptions wrong_token = options();
  wrong_token.authenticator = Authenticator::kOAuth;
  wrong_token.token = "stolen";
  EXPECT_THROW(Connection::open(wrong_token), SnowflakeError);
  // A key the warehouse does not know is refused.
  ConnectionOptions other_key = options();
  other_key.authenticator = Authenticator::kKeyPair;
  other_key.private_key_pem = osa_test::make_test_key_pair().private_pkcs8;
  EXPECT_THROW(Connection::open(other_key), SnowflakeError);
}

TEST_F(ConnectionTest, RenewsAnExpiredSessionTokenAndReplaysTheStatementOnce) {
  auto connection = Connection::open(options());
  connection->execute("CREATE TABLE t (x INTEGER)");
  const std::string first_token = connection->rest()->token();
  fake_->expire_session_tokens();

  const std::string insert = "INSERT INTO t VALUES (1)";
  connection->execute(insert);
  EXPECT_EQ(fake_->executions(insert), 1);
  EXPECT_EQ(requests_to("/session/token-request").size(), 1u);
  EXPECT_NE(connection->rest()->token(), first_token);  // the analyst call sees the new one
  EXPECT_EQ(single_int(*connection, "SELECT COUNT(*) FROM t"), 1);
}

TEST_F(ConnectionTest, LogsInAgainWhenTheMasterTokenExpired) {
  auto connection = Connection::open(options());
  fake_->expire_session_tokens();
  fake_->expire_master_tokens();
  EXPECT_EQ(single_int(*connection, "SELECT 3"), 3);
  EXPECT_EQ(requests_to("/session/v1/login-request").size(), 2u);
}

TEST_F(ConnectionTest, RetriesTransientFaultsWithTheSameRequestId) {
  auto connection = Connection::open(options());
  connection->execute("CREATE TABLE t (x INTEGER)");
  fake_->fail_next("/queries/v1/query-request", 503, 2);
  const std::string insert = "INSERT INTO t VALUES (1)";
  connection->execute(insert);
  EXPECT_EQ(fake_->executions(insert), 1);
  EXPECT_EQ(waits_.size(), 2u);

  const auto submissions = requests_to("/queries/v1/query-request");
  ASSERT_GE(submissions.size(), 3u);
  const auto& first = submissions[submissions.size() - 3];
  const auto& last = submissions.back();
  EXPECT_EQ(query_parameter(first.query, "requestId"), query_parameter(last.query, "requestId"));
  EXPECT_NE(query_parameter(first.query, "request_guid"),
            query_parameter(last.query, "request_guid"));
  EXPECT_EQ(query_parameter(last.query, "retryCount"), "2");
  EXPECT_EQ(query_parameter(last.query, "retryReason"), "503");
}

TEST_F(ConnectionTest, AStatementWhoseAnswerWasLostRunsOnce) {
  auto connection = Connection::open(options());
  connection->execute("CREATE TABLE t (x INTEGER)");
  fake_->fail_next("/queries/v1/query-request", 502, 1, /*after_handling=*/true);
  const std::string insert = "INSERT INTO t VALUES (1)";
  connection->execute(insert);
  EXPECT_EQ(fake_->executions(insert), 1);
  EXPECT_EQ(single_int(*connection, "SELECT COUNT(*) FROM t"), 1);
}

TEST_F(ConnectionTest, PollsALongStatementUntilItEnds) {
  auto connection = Connection::open(options());
  const QueryResult result = connection->execute("SELECT 9 AS n, SYSTEM$WAIT(300, 'MILLISECONDS')");
  EXPECT_EQ(result.rows.at(0).at(0), Value(9));
  EXPECT_FALSE(requests_to("/queries/" + result.query_id + "/result").empty());
}

TEST_F(ConnectionTest, AbortsAStatementThatOutrunsTheStatementTimeout) {
  ConnectionOptions limited = options();
  limited.statement_timeout = std::chrono::milliseconds(800);
  auto connection = Connection::open(limited);
  const auto started = std::chrono::steady_clock::now();
  try {
    connection->execute("SELECT SYSTEM$WAIT(60)");
    ADD_FAILURE() << "no timeout";
  } catch (const SnowflakeError& error) {
    EXPECT_EQ(error.sql_state(), "57014");
    EXPECT_FALSE(error.query_id().empty());
    EXPECT_EQ(error.message(),
              "The statement did not finish within the statement timeout of "
              "0.8 s and was aborted");
  }
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
  ASSERT_EQ(requests_to("/queries/v1/query-request").size(), 1u);
  std::size_t aborts = 0;
  for (const auto& request : requests_to("/queries/"))
    aborts += request.path.ends_with("/abort-request");
  EXPECT_EQ(aborts, 1u);
  EXPECT_EQ(single_int(*connection, "SELECT 4"), 4);  // the session goes on
}

TEST_F(ConnectionTest, AbortsAWaitingStatementOnceItsCallerCancels) {
  auto connection = Connection::open(options());
  const auto started = std::chrono::steady_clock::now();
  const auto cancelled = [started] {
    return std::chrono::steady_clock::now() - started > std::chrono::milliseconds(200);
  };
  {
    platform::CancellationScope scope(cancelled);
    try {
      connection->execute("SELECT SYSTEM$WAIT(60)");
      ADD_FAILURE() << "not cancelled";
    } catch (const SnowflakeError& error) {
      EXPECT_EQ(error.sql_state(), "57014");
      EXPECT_EQ(error.message(), "The statement was cancelled");
    }
  }
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(3));
  std::size_t aborts = 0;
  for (const auto& request : requests_to("/queries/"))
    aborts += request.path.ends_with("/abort-request");
  EXPECT_EQ(aborts, 1u);
  EXPECT_EQ(single_int(*connection, "SELECT 4"), 4);  // outside the scope nothing is cancelled
}

// The statement's deadline and its caller's cancellation hold while a submission hangs or waits
// to be retried, not only while a running statement is polled.
class StatementLifeTest : public ConnectionTest {
 protected:
  // Options that really sleep between retries, with a statement timeout of `limit`.
  ConnectionOptions sleeping_options(std::chrono::milliseconds limit) {
    ConnectionOptions result = options();
    result.sleep = nullptr;
    result.statement_timeout = limit;
    result.request_timeout = std::chrono::seconds(3);
    return result;
  }
  std::size_t aborts_by_request_id() const {
    return requests_to("/queries/v1/abort-request").size();
  }
  static std::chrono::milliseconds since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start);
  }
};

TEST_F(StatementLifeTest, AHangingSubmissionEndsAtTheStatementTimeoutAndIsAborted) {
  auto connection = Connection::open(sleeping_options(std::chrono::milliseconds(1000)));
  fake_->hold_next("/queries/v1/query-request", std::chrono::seconds(30));
  const auto started = std::chrono::steady_clock::now();
  try {
    connection->execute("SELECT 1");
    ADD_FAILURE() << "the hanging submission was waited out";
  } catch (const SnowflakeError& error) {
    EXPECT_EQ(error.sql_state(), "57014");
    EXPECT_EQ(error.message(),
              "The statement did not finish within the statement timeout of 1 s and was aborted");
  }
  EXPECT_LT(since(started), std::chrono::milliseconds(2500));
  EXPECT_EQ(aborts_by_request_id(), 1u);
}

TEST_F(StatementLifeTest, AnUnavailableWarehouseFailsTheStatementWithinItsTimeout) {
  auto connection = Connection::open(sleeping_options(std::chrono::milliseconds(1500)));
  fake_->fail_next("/queries/v1/query-request", 503, 100);
  const auto started = std::chrono::steady_clock::now();
  EXPECT_THROW_SUBSTR(connection->execute("SELECT 1"), SnowflakeError, "503");
  EXPECT_LT(since(started), std::chrono::milliseconds(2500));
  EXPECT_EQ(fake_->executions("SELECT 1"), 0);
}

TEST_F(StatementLifeTest, ACancelledCallStopsWaitingOutARetryAfterAtOnce) {
  auto connection = Connection::open(sleeping_options(std::chrono::minutes(10)));
  fake_->answer_next("/queries/v1/query-request", 503, "", 10, /*retry_after=*/"30");
  const auto started = std::chrono::steady_clock::now();
  {
    platform::CancellationScope scope(
        [started] { return since(started) > std::chrono::milliseconds(300); });
    try {
      connection->execute("SELECT 1");
      ADD_FAILURE() << "not cancelled";
    } catch (const SnowflakeError& error) {
      EXPECT_EQ(error.sql_state(), "57014");
      EXPECT_EQ(error.message(), "The statement was cancelled");
    }
  }
  EXPECT_LT(since(started), std::chrono::milliseconds(1500));
  EXPECT_EQ(requests_to("/queries/v1/query-request").size(), 1u);
  EXPECT_EQ(aborts_by_request_id(), 1u);
}

// Answers a restarted or confused warehouse gives about the session.
TEST_F(ConnectionTest, LogsInAgainOnceWhenTheWarehouseForgotTheSession) {
  auto connection = Connection::open(options());
  const std::string forgotten = connection->rest()->token();
  fake_->forget_sessions();
  EXPECT_EQ(single_int(*connection, "SELECT 3"), 3);
  EXPECT_EQ(requests_to("/session/v1/login-request").size(), 2u);
  EXPECT_NE(connection->rest()->token(), forgotten);
  EXPECT_EQ(fake_->open_sessions(), 1);

  // A fresh session refused as well is reported, after one more login only.
  const std::string refusal =
      R"({"data":null,"code":"390104","message":"Invalid authentication token.","success":false})";
  fake_->answer_next("/queries/v1/query-request", 401, refusal, 5);
  EXPECT_THROW_MSG(connection->execute("SELECT 4"), SnowflakeError,
                   "390104: Invalid authentication token.");
  EXPECT_EQ(requests_to("/session/v1/login-request").size(), 3u);
}

TEST_F(ConnectionTest, ARenewalWithoutASessionTokenFailsAndKeepsTheOldToken) {
  auto connection = Connection::open(options());
  const std::string token = connection->rest()->token();
  fake_->renew_without_token();
  fake_->expire_session_tokens();
  EXPECT_THROW_MSG(connection->execute("SELECT 1"), SnowflakeError,
                   "(08001): The warehouse's session renewal answer holds no session token");
  EXPECT_EQ(connection->rest()->token(), token);
}

TEST_F(ConnectionTest, MalformedEnvelopesFailAsTheConnectorsErrorAndRunningStatementsAreAborted) {
  auto connection = Connection::open(options());
  fake_->answer_next("/queries/v1/query-request", 200, R"({"success":true})");
  EXPECT_THROW_MSG(connection->execute("SELECT 1"), SnowflakeError,
                   "The warehouse's answer to the statement holds no \"data\" object");
  fake_->answer_next("/queries/v1/query-request", 200, R"({"success":"yes","data":{}})");
  EXPECT_THROW_MSG(connection->execute("SELECT 1"), SnowflakeError,
                   "The warehouse's answer holds a \"success\" of kind string instead of true "
                   "or false");
  EXPECT_EQ(requests_to("/queries/v1/abort-request").size(), 0u);

  fake_->answer_next(
      "/queries/v1/query-request", 200,
      R"({"success":true,"code":"333333","data":{"queryId":null,"getResultUrl":"/queries/x/result"}})");
  EXPECT_THROW_MSG(connection->execute("SELECT 1"), SnowflakeError,
                   "The warehouse reports a running statement without its query id and result "
                   "address");
  EXPECT_EQ(requests_to("/queries/v1/abort-request").size(), 1u) << "aborted by request id";
}

TEST_F(ConnectionTest, RetriesLoginOnTooManyRequests) {
  fake_->fail_next("/session/v1/login-request", 429, 1);
  auto connection = Connection::open(options());
  EXPECT_EQ(requests_to("/session/v1/login-request").size(), 2u);
  EXPECT_EQ(waits_.size(), 1u);
}

TEST_F(ConnectionTest, DoesNotRetryOtherFaultsAndGivesUpAfterTheLimit) {
  auto connection = Connection::open(options());
  fake_->fail_next("/queries/v1/query-request", 400, 1);
  EXPECT_THROW_SUBSTR(connection->execute("SELECT 1"), SnowflakeError, "400");
  EXPECT_TRUE(waits_.empty());

  ConnectionOptions few_retries = options();
  few_retries.max_retries = 2;
  auto impatient = Connection::open(few_retries);
  fake_->fail_next("/queries/v1/query-request", 500, 10);
  EXPECT_THROW_SUBSTR(impatient->execute("SELECT 1"), SnowflakeError, "500");
  EXPECT_EQ(waits_.size(), 2u);
  EXPECT_EQ(fake_->executions("SELECT 1"), 0);
}

TEST_F(ConnectionTest, ReadsResultsSplitIntoChunksInOrder) {
  start({.rows_per_chunk = 4});
  auto connection = Connection::open(options());
  connection->execute_string(
      "CREATE TABLE n (i INTEGER, label TEXT);"
      "INSERT INTO n VALUES (1,'a'),(2,'b'),(3,NULL),(4,'d'),(5,'e'),(6,'f'),(7,'g'),(8,'h'),"
      "(9,'i'),(10,'j'),(11,'k')");
  const QueryResult result = connection->execute("SELECT i, label FROM n ORDER BY i");
  ASSERT_EQ(result.columns.size(), 2u);
  EXPECT_EQ(result.columns[0].name, "I");
  ASSERT_EQ(result.rows.size(), 11u);
  for (size_t i = 0; i < result.rows.size(); ++i) {
    EXPECT_EQ(result.rows[i][0], Value(static_cast<std::int64_t>(i + 1)));
  }
  EXPECT_EQ(result.rows[2][1], Value());
  EXPECT_EQ(result.rows[10][1], Value("k"));
}

TEST_F(ConnectionTest, ExecuteStringRunsStatementsInOrderAndStopsAtTheFirstFailure) {
  auto connection = Connection::open(options());
  const auto results = connection->execute_string(
      "CREATE TABLE s (v TEXT); INSERT INTO s VALUES ('a;b'); -- done; really\n"
      "SELECT v FROM s;");
  ASSERT_EQ(results.size(), 3u);
  EXPECT_EQ(results[2].rows.at(0).at(0), Value("a;b"));

  try {
    connection->execute_string("SELECT * FROM missing_table; INSERT INTO s VALUES ('never')");
    FAIL() << "the failing statement did not raise";
  } catch (const SnowflakeError& error) {
    EXPECT_FALSE(error.code().empty());
    EXPECT_FALSE(error.sql_state().empty());
    EXPECT_FALSE(error.query_id().empty());
    EXPECT_NE(error.message().find("missing_table"), std::string::npos);
  }
  EXPECT_EQ(fake_->executions("INSERT INTO s VALUES ('never')"), 0);
}

TEST_F(ConnectionTest, ReturnsTypedValuesAndKeepsNulls) {
  fake_->run_sql(
      "CREATE TABLE typed (i INTEGER, d NUMBER(10,2), f DOUBLE, t TEXT, b BOOLEAN, day DATE,"
      " clock TIME(3), ntz TIMESTAMP_NTZ(6), tz TIMESTAMP_TZ(9), v VARIANT, bin BINARY);"
      "INSERT INTO typed VALUES (-7, 12.5, 0.25, 'alpha', 1, '2024-02-29', '01:02:03.5',"
      " '2024-02-29 10:20:30.123456', '2024-02-29T10:20:30+01:00', '{\"a\":1}', x'DEADBEEF');"
      "INSERT INTO typed VALUES (NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL,"
      " NULL);");
  auto connection = Connection::open(options());
  const QueryResult result = connection->execute("SELECT * FROM typed ORDER BY i DESC");
  ASSERT_EQ(result.columns.size(), 11u);
  EXPECT_EQ(result.columns[1].type, "fixed");
  EXPECT_EQ(result.columns[1].scale, 2);
  EXPECT_EQ(result.columns[8].type, "timestamp_tz");
  ASSERT_EQ(result.rows.size(), 2u);
  const std::vector<Value> expected = {
      Value(-7),
      Value(12.5),
      Value(0.25),
      Value("alpha"),
      Value(true),
      Value(Date{2024, 2, 29}),
      Value("01:02:03.500000"),
      Value(DateTime{{2024, 2, 29}, 10, 20, 30, 123456, std::nullopt}),
      Value(DateTime{{2024, 2, 29}, 10, 20, 30, 0, 60}),
      Value(R"({"a":1})"),
      Value("DEADBEEF")};
  const auto& values = result.rows[0][0].is_null() ? result.rows[1] : result.rows[0];
  const auto& nulls = result.rows[0][0].is_null() ? result.rows[0] : result.rows[1];
  EXPECT_EQ(values, expected);
  EXPECT_EQ(nulls, std::vector<Value>(11));
}

}  // namespace
}  // namespace platform::snowflake
