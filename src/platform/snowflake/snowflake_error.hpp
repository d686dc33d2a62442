// The error a warehouse operation raises: the server's code, SQL state, query id and message.
//
//   try { connection.execute("SELECT * FROM missing"); }
//   catch (const platform::snowflake::SnowflakeError& error) {
//     error.code();       // "002003"
//     error.sql_state();  // "42S02"
//     error.query_id();   // "01b2..."
//     error.what();       // "002003 (42S02): 01b2...: SQL compilation error: ..."
//   }
//
// It is a platform::RuntimeError, the kind of every failed outside service. Errors are made by
// the named factories below, one per kind of failure, so that a code, a SQL state and a message
// cannot trade places. Failures the server did not name carry an empty code; the connector sets
// a SQL state of its own only where a caller may act on it (kSqlState*). No message ever holds a
// password, private key, passphrase or token.
#pragma once

#include <chrono>
#include <string>
#include <string_view>

#include <nlohmann/json_fwd.hpp>

#include "platform/errors/errors.hpp"

namespace platform::snowflake {

// The session cannot be had: the warehouse is out of reach or its session answers are unusable.
inline constexpr std::string_view kSqlStateConnectionFailure = "08001";
// A statement on a connection that was closed.
inline constexpr std::string_view kSqlStateConnectionDoesNotExist = "08003";
// A statement stopped on the caller's behalf: cancelled, or out of time.
inline constexpr std::string_view kSqlStateQueryCanceled = "57014";

class SnowflakeError : public RuntimeError {
 public:
  // The failure a warehouse envelope reports ({"code", "message", "data": {"sqlState",
  // "queryId"}}); "The warehouse reported a failure without a message" when it has none.
  static SnowflakeError from_envelope(const nlohmann::json& envelope);
  // The warehouse cannot be reached, answers without its envelope, hands back a session answer
  // without a token or an address off its host: SQL state 08001.
  static SnowflakeError connection_failure(std::string message);
  // "The connection is closed", SQL state 08003.
  static SnowflakeError connection_closed();
  // "The statement was cancelled", SQL state 57014.
  static SnowflakeError cancelled(std::string query_id);
  // "The statement did not finish within the statement timeout of <seconds> s and was aborted",
  // SQL state 57014.
  static SnowflakeError timed_out(std::string query_id,
                                  std::chrono::milliseconds statement_timeout);
  // An answer the connector cannot read: a field missing or of the wrong kind, a result it
  // cannot decode.
  static SnowflakeError malformed_answer(std::string message, std::string query_id = "");
  // A failure of the connector's own work, outside the warehouse's answers: a local file, the
  // stage's storage, a result chunk's download, compression or encryption.
  static SnowflakeError connector_failure(std::string message, std::string query_id = "");

  // The same error (code, SQL state, query id) told with another message.
  SnowflakeError with_message(std::string message) const;

  const std::string& code() const { return code_; }
  const std::string& sql_state() const { return sql_state_; }
  const std::string& query_id() const { return query_id_; }
  // The server's (or the connector's) message alone, without code, state and query id.
  const std::string& message() const { return message_; }

 private:
  SnowflakeError(std::string code, std::string_view sql_state, std::string query_id,
                 std::string message);

  std::string code_;
  std::string sql_state_;
  std::string query_id_;
  std::string message_;
};

}  // namespace platform::snowflake
