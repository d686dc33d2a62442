// An open warehouse connection: run statements, read typed results, close.
//
//   auto connection = platform::snowflake::Connection::open(options);   // logs in
//   QueryResult result = connection->execute("SELECT id, name FROM orders");
//   connection->execute_string("USE SCHEMA s; CREATE TABLE t (x INT); INSERT INTO t VALUES (1)");
//   http::Result reply = connection->rest()->send_raw({.path = "/api/...", .json_body = text});
//   connection->close();   // also done when the object goes away
//
// Statements are submitted with a request id that stays the same across retries, so a retried
// submission runs once; a running statement is polled until it ends. The options'
// statement_timeout bounds a statement's whole life, submission and its retries included: a
// statement out of time (or whose caller cancelled) is aborted on the warehouse, by request id
// when its submission is still unanswered; results split into chunks
// are downloaded (and gunzipped) in order. An expired session token is renewed, and an expired
// master token leads to a fresh login, without the caller noticing (a fresh login starts a new
// session, so session state set by earlier statements, e.g. USE, is then lost).
//
// A PUT statement uploads its files to the stage the warehouse names (see
// file_transfer/put_transfer.hpp) and returns one row per file; a file that fails raises. GET
// needs a download this connector does not do: it raises platform::NotImplementedError after
// the warehouse accepted it, and never reports success.
//
// Throws SnowflakeError (a platform::RuntimeError) for every failure the warehouse reports, with
// its code, SQL state, query id and message, and for an answer it cannot read (a field missing
// or of the wrong kind); a running statement is aborted whatever the failure. Thread-safety:
// statements may run from several threads at once; `close` must not race with them.
#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/snowflake/connection_options.hpp"
#include "platform/snowflake/query_result.hpp"
#include "platform/snowflake/rest_client.hpp"

namespace platform::snowflake {

class Connection {
 public:
  // Logs in; throws SnowflakeError when login fails, platform::ValueError for an unreadable
  // private key or a protocol that `protocol_refusal` refuses.
  static std::unique_ptr<Connection> open(ConnectionOptions options);
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // The account host, with ":<port>" when the port is not 443 ("127.0.0.1:8443").
  const std::string& host() const { return host_; }
  // The session's REST state, whose token() is the current session token; null once closed.
  const RestClient* rest() const { return closed_ ? nullptr : rest_.get(); }
  // The same, for exchanges of the caller's own (RestClient::send_raw).
  RestClient* rest() { return closed_ ? nullptr : rest_.get(); }

  // Runs one statement and returns its result.
  QueryResult execute(std::string_view statement);
  // Runs each statement of the text in order and returns their results; the first failing
  // statement raises its error and the ones after it do not run.
  std::vector<QueryResult> execute_string(std::string_view text);

  // Ends the session; later calls do nothing. Never throws.
  void close() noexcept;
  bool is_closed() const { return closed_; }

 private:
  explicit Connection(ConnectionOptions options);
  // Submits the statement, waits for its end and returns its answer's "data"; throws its error.
  nlohmann::json run_statement(std::string_view statement, bool file_transfer);
  QueryResult put_files(std::string_view statement, const nlohmann::json& data);
  // Polls a running statement until it ends, its deadline passes or its caller cancels; returns
  // the last answer. `query_id` is set as soon as the warehouse names the statement.
  nlohmann::json wait_for_result(nlohmann::json envelope,
                                 std::chrono::steady_clock::time_point deadline,
                                 std::string& query_id);
  // Aborts a statement whose caller cancelled or ran out of time, and throws that (SQL state
  // 57014).
  [[noreturn]] void stop_statement(const std::string& query_id, const std::string& request_id);
  // Asks the warehouse to stop a statement; a failure is logged, never thrown.
  void abort_statement(const std::string& query_id, const std::string& request_id) noexcept;
  QueryResult read_result(const nlohmann::json& data);

  std::unique_ptr<RestClient> rest_;
  std::string host_;
  std::atomic<bool> closed_{false};
  std::atomic<std::int64_t> sequence_id_{0};
};

}  // namespace platform::snowflake
