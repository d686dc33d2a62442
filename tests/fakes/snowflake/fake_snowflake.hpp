// A fake warehouse server for tests: it speaks the warehouse's REST protocol over HTTPS (or
// plain HTTP) on 127.0.0.1, runs statements on SQLite and answers in the warehouse's JSON row
// format, and serves the analyst endpoint from scripted answers. Tests start it in-process;
// the program fake_snowflake runs the same server by hand.
//
//   fakes::FakeSnowflake fake({.rows_per_chunk = 100});
//   fake.run_sql("CREATE TABLE t (d DATE, n NUMBER(10,2)); INSERT INTO t VALUES
//   ('2024-01-02', 3.5)");
//   ::setenv("SSL_CERT_FILE", fake.ca_file().c_str(), 1);
//   ... point the client at fake.host() with user "tester", password "secret" ...
//   EXPECT_EQ(fake.open_sessions(), 0);
//
// Served (responses are JSON with Content-Type application/json unless said otherwise):
//   POST /session/v1/login-request        authenticators SNOWFLAKE (password), SNOWFLAKE_JWT,
//                                         OAUTH, PROGRAMMATIC_ACCESS_TOKEN; refusals are
//                                         success:false with code 390100 (password, token),
//                                         390144 (JWT) or 390303 (OAuth)
//   POST /session/token-request           RENEW with the master token; 390114 once expired
//   POST /session?delete=true             closes the session
//   POST /session/heartbeat, /telemetry/send
//   POST /queries/v1/query-request        runs sqlText (one statement); a requestId seen before
//                                         answers the first run's result without running again
//   GET  /queries/<id>/result             the result, or "in progress" (code 333333) held for up
//                                         to half a second while the statement still runs
//   GET  /monitoring/queries/<id>         RUNNING / SUCCESS / FAILED_WITH_ERROR
//   POST /queries/<id>/abort-request, /queries/v1/abort-request
//   GET  /results/<id>/chunks/<n>         a gzip-compressed chunk (Content-Encoding: gzip);
//                                         needs the header x-amz-server-side-encryption-
//                                         customer-key: <qrmk of the result>, else 400
//   POST /api/v2/cortex/analyst/message   the next scripted answer (status and body)
// A session token that is unknown answers HTTP 401 with code 390104; an expired one code 390112;
// a closed session 390111.
//
// Column types and cell encodings: see column_type.hpp and cell_encoding.hpp. Statements
// containing SYSTEM$WAIT(n [, 'SECONDS'|'MILLISECONDS'|'MINUTES']) take that long: the submit
// answers "in progress" at once and the result URL becomes ready after the wait.
//
// Thread-safety: every member may be called from any thread while the server runs.
// The constructor throws std::runtime_error when the port, database or TLS files fail.
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace fakes {

struct FakeSnowflakeOptions {
  std::string sqlite_path;  // empty = a fresh in-memory database
  bool tls = true;          // HTTPS with a freshly generated CA; false = plain HTTP
  std::string tls_dir;      // where ca.pem/server.pem/server.key go; empty = a temp dir
  std::string user = "tester", password = "secret";
  std::string public_key_pem;             // accept SNOWFLAKE_JWT logins signed by its private key
  std::string oauth_token;                // accepted OAUTH token (empty = OAUTH refused)
  std::string programmatic_access_token;  // accepted PAT (empty = refused)
  size_t rows_per_chunk = 0;   // > 0: results with more rows are split into downloadable chunks
  std::string analyst_script;  // optional JSON file: [{"status": 200, "body": {...} or "text"}]
  int port = 0;                // 0 = any free port
  // How long a session token (from login or renewal) and a master token (from login) stay good;
  // zero = until expired by hand. An outdated token answers as an expired one.
  std::chrono::milliseconds session_token_lifetime{0};
  std::chrono::milliseconds master_token_lifetime{0};
};

struct RecordedRequest {
  std::string method, path, query, body;  // body after gzip decoding
  std::vector<std::pair<std::string, std::string>> headers;
};

class FakeSnowflake {
 public:
  explicit FakeSnowflake(FakeSnowflakeOptions options);
  ~FakeSnowflake();  // stops the server
  FakeSnowflake(const FakeSnowflake&) = delete;
  FakeSnowflake& operator=(const FakeSnowflake&) = delete;

  int port() const;
  std::string host() const;     // "127.0.0.1:<port>"
  std::string url() const;      // "https://127.0.0.1:<port>" (or http://)
  std::string ca_file() const;  // path of the CA certificate (empty without TLS)

  // Seeds the database directly (any number of SQLite statements); throws std::runtime_error.
  void run_sql(const std::string& sql);
  // The next use of any current session token answers "session expired" (390112).
  void expire_session_tokens();
  // Expires the session tokens too, and renewal then answers "master token expired" (390114).
  void expire_master_tokens();
  // The next `times` requests whose path starts with `path_prefix` answer HTTP `status`. The
  // request is refused before it is handled, or, with `after_handling`, handled first and its
  // answer lost (a statement then has run although the client saw a fault).
  void fail_next(const std::string& path_prefix, int status, int times = 1,
                 bool after_handling = false);
  // Scripted analyst answers, consumed in order; with none left the endpoint answers 500.
  void add_analyst_answer(int status, std::string body);

  std::vector<RecordedRequest> requests() const;      // everything received, in order
  int open_sessions() const;                          // logged-in sessions not yet closed
  int executions(const std::string& sql_text) const;  // how often a statement text really ran

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace fakes
