#include "platform/snowflake/snowflake_error.hpp"

#include <fmt/format.h>

#include <nlohmann/json.hpp>

#include "platform/snowflake/internal/envelope.hpp"

namespace platform::snowflake {
namespace {

// "<code> (<state>): <query id>: <message>", leaving out the parts that are empty.
std::string describe(const std::string& code, std::string_view sql_state,
                     const std::string& query_id, const std::string& message) {
  std::string text;
  if (!code.empty()) text += code;
  if (!sql_state.empty()) text += (text.empty() ? "(" : " (") + std::string(sql_state) + ")";
  if (!text.empty()) text += ": ";
  if (!query_id.empty()) text += query_id + ": ";
  return text + message;
}

// A member as text for an error message, whatever its kind; empty when absent or null.
std::string text_field(const nlohmann::json& object, std::string_view key) {
  if (!object.is_object()) return "";
  const auto it = object.find(key);
  if (it == object.end() || it->is_null()) return "";
  return it->is_string() ? it->get<std::string>() : it->dump();
}

}  // namespace

SnowflakeError::SnowflakeError(std::string code, std::string_view sql_state, std::string query_id,
                               std::string message)
    : RuntimeError(describe(code, sql_state, query_id, message)),
      code_(std::move(code)),
      sql_state_(sql_state),
      query_id_(std::move(query_id)),
      message_(std::move(message)) {}

SnowflakeError SnowflakeError::from_envelope(const nlohmann::json& envelope) {
  const nlohmann::json data = envelope.value("data", nlohmann::json::object());
  std::string message = text_field(envelope, "message");
  if (message.empty()) message = "The warehouse reported a failure without a message";
  return SnowflakeError(internal::code_of(envelope), text_field(data, "sqlState"),
                        text_field(data, "queryId"), std::move(message));
}

SnowflakeError SnowflakeError::connection_failure(std::string message) {
  return SnowflakeError("", kSqlStateConnectionFailure, "", std::move(message));
}

SnowflakeError SnowflakeError::connection_closed() {
  return SnowflakeError("", kSqlStateConnectionDoesNotExist, "", "The connection is closed");
}

SnowflakeError SnowflakeError::cancelled(std::string query_id) {
  return SnowflakeError("", kSqlStateQueryCanceled, std::move(query_id),
                        "The statement was cancelled");
}

SnowflakeError SnowflakeError::timed_out(std::string query_id,
                                         std::chrono::milliseconds statement_timeout) {
  return SnowflakeError(
      "", kSqlStateQueryCanceled, std::move(query_id),
      fmt::format("The statement did not finish within the statement timeout of {} s and was "
                  "aborted",
                  std::chrono::duration<double>(statement_timeout).count()));
}

SnowflakeError SnowflakeError::malformed_answer(std::string message, std::string query_id) {
  return SnowflakeError("", "", std::move(query_id), std::move(message));
}

SnowflakeError SnowflakeError::connector_failure(std::string message, std::string query_id) {
  return SnowflakeError("", "", std::move(query_id), std::move(message));
}

SnowflakeError SnowflakeError::with_message(std::string message) const {
  return SnowflakeError(code_, sql_state_, query_id_, std::move(message));
}

}  // namespace platform::snowflake
