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
// It is a platform::RuntimeError, the kind of every failed outside service. Failures the server
// did not name (a connection that could not be made, an HTTP status without a warehouse answer)
// carry an empty code. No message ever holds a password, private key, passphrase or token.
#pragma once

#include <string>

#include "platform/errors/errors.hpp"

namespace platform::snowflake {

class SnowflakeError : public RuntimeError {
 public:
  SnowflakeError(std::string code, std::string sql_state, std::string query_id,
                 std::string message);

  // An answer the connector cannot read: a field missing or of the wrong kind.
  static SnowflakeError malformed_answer(std::string message, std::string query_id = "");
  // A statement stopped on the caller's behalf (cancelled, or out of time): SQL state 57014.
  static SnowflakeError statement_stopped(std::string query_id, std::string message);

  const std::string& code() const { return code_; }
  const std::string& sql_state() const { return sql_state_; }
  const std::string& query_id() const { return query_id_; }
  // The server's (or the connector's) message alone, without code, state and query id.
  const std::string& message() const { return message_; }

 private:
  std::string code_;
  std::string sql_state_;
  std::string query_id_;
  std::string message_;
};

}  // namespace platform::snowflake
