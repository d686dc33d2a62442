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
// A PUT statement ("PUT 'file://...' @stage [OVERWRITE = TRUE] [AUTO_COMPRESS = FALSE]
// [SOURCE_COMPRESSION = ...]"; the file location quoted or not) is answered with upload
// instructions for the stage location set with `set_stage_location` (LOCAL_FS under
// `stage_dir` by default: "<stage_dir>/<stage name>/<path>/").
// and, for tests that drive the fake as a separate program:
//   GET  /__fake__/state                  {"open_sessions": n, "analyst_answers_left": n}
//   POST /__fake__/analyst-answers        appends scripted answers (the script file's format)
//   POST /__fake__/frozen                 {"frozen": true|false}: see `set_frozen`
//   POST /__fake__/faults                 {"path_prefix", "status", "times", "body",
//                                         "retry_after", "hold_ms"}: answer_next, or hold_next
//                                         when "hold_ms" is given
//   POST /__fake__/forget-sessions        forget_sessions
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
  std::string seed_sql;     // SQLite statements run once the database is open
  bool tls = true;          // HTTPS with a freshly generated CA; false = plain HTTP
  std::string tls_dir;      // where ca.pem/server.pem/server.key go; empty = a temp dir
  std::string user = "tester", password = "secret";
  std::string public_key_pem;             // accept SNOWFLAKE_JWT logins signed by its private key
  std::string oauth_token;                // accepted OAUTH token (empty = OAUTH refused)
  std::string programmatic_access_token;  // accepted PAT (empty = refused)
  size_t rows_per_chunk = 0;   // > 0: results with more rows are split into downloadable chunks
  std::string analyst_script;  // optional JSON file: [{"status": 200, "body": {...} or "text"}]
  int port = 0;                // 0 = any free port
  std::string stage_dir;       // LOCAL_FS stages live here; empty = a temporary directory
  // How long a session token (from login or renewal) and a master token (from login) stay good;
  // zero = until expired by hand. An outdated token answers as an expired one.
  std::chrono::milliseconds session_token_lifetime{0};
  std::chrono::milliseconds master_token_lifetime{0};
};

// Where PUT sends files. Object stores keep a stage's files under
// "<bucket>/stages/<stage name>/<path>/".
struct FakeStageLocation {
  std::string location_type = "LOCAL_FS";  // or "S3", "AZURE", "GCS"
  std::string end_point;                   // the fake object store's address
  std::string region = "us-west-2";
  std::string bucket = "fake-bucket";
  std::string storage_account;
  // The stageInfo "creds" of each PUT answer in turn; the last set stays (so a test can hand
  // out fresh credentials when a transfer asks again).
  std::vector<std::vector<std::pair<std::string, std::string>>> creds;
  std::string master_key;  // base64 stage key for client-side encryption; empty = none
  // GCS without an access token: a PUT of one plain file name is answered with the presigned
  // address presigned_prefix + "<bucket>/<object>?sig=" + presigned_signature.
  std::string presigned_prefix;
  std::string presigned_signature;
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
  // While frozen, every request is received and held without an answer (a warehouse that stopped
  // answering); thawing lets the held ones go on. The control routes below always answer.
  void set_frozen(bool frozen);
  // The same, answering `body` as JSON (malformed envelopes, say) and a Retry-After header when
  // `retry_after` is not empty, without handling the request.
  void answer_next(const std::string& path_prefix, int status, std::string body, int times = 1,
                   std::string retry_after = "");
  // The next `times` requests whose path starts with `path_prefix` are held for `hold` before
  // they are handled (a warehouse that hangs); stopping the fake releases them.
  void hold_next(const std::string& path_prefix, std::chrono::milliseconds hold, int times = 1);
  // Forgets every session, as a restarted warehouse does: their tokens become unknown (390104).
  void forget_sessions();
  // Later renewals succeed but their answer holds no session token.
  void renew_without_token();
  // How later PUT statements are answered (credentials can change between statements).
  void set_stage_location(FakeStageLocation location);
  // Where LOCAL_FS stages live.
  std::string stage_dir() const;
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
