#include "platform/snowflake/snowflake_error.hpp"

namespace platform::snowflake {
namespace {

// "<code> (<state>): <query id>: <message>", leaving out the parts that are empty.
std::string describe(const std::string& code, const std::string& sql_state,
                     const std::string& query_id, const std::string& message) {
  std::string text;
  if (!code.empty()) text += code;
  if (!sql_state.empty()) text += (text.empty() ? "(" : " (") + sql_state + ")";
  if (!text.empty()) text += ": ";
  if (!query_id.empty()) text += query_id + ": ";
  return text + message;
}

}  // namespace

SnowflakeError::SnowflakeError(std::string code, std::string sql_state, std::string query_id,
                               std::string message)
    : RuntimeError(describe(code, sql_state, query_id, message)),
      code_(std::move(code)),
      sql_state_(std::move(sql_state)),
      query_id_(std::move(query_id)),
      message_(std::move(message)) {}

SnowflakeError SnowflakeError::malformed_answer(std::string message, std::string query_id) {
  return SnowflakeError("", "", std::move(query_id), std::move(message));
}

SnowflakeError SnowflakeError::statement_stopped(std::string query_id, std::string message) {
  return SnowflakeError("", "57014", std::move(query_id), std::move(message));
}

}  // namespace platform::snowflake
