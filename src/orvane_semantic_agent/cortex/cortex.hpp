// The system's warehouse settings and its calls to the warehouse other than running an answer's
// SQL: the Cortex Analyst request and the stage upload.
//
//   auto config = SnowflakeProvisioningConfig::from_env();    // SNOWFLAKE__CONNECTION__* variables
//   auto conn = config.get_native_connection();
//   auto entries = call_snowflake_analyst(*conn, *model, "How many orders per day?");
//   for (const AnalystEntry& entry : entries) {
//     if (const auto* text = std::get_if<std::string>(&entry)) answer += *text;
//     else if (std::get<AnalystPair>(entry).kind == "sql") sql =
//     std::get<AnalystPair>(entry).value;
//   }
//
// Failures propagate as they come (each function lists its own): platform::ValidationError from
// `from_env`, the analyst call's errors below, and the connection's errors.
// Nothing here keeps state; every function is safe to call from any thread the connection
// allows.
#pragma once

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <string>
#include <variant>
#include <vector>

#include "orvane/ingestion/snowflake_connection.hpp"
#include "orvane_semantic_agent/semantic_model/semantic_model.hpp"
#include "platform/settings/env_settings.hpp"
#include "platform/snowflake/connection.hpp"
#include "platform/value/value.hpp"

namespace orvane_semantic_agent::cortex {

using NativeSnowflakeConnection = platform::snowflake::Connection;

inline constexpr std::string_view kSnowflakeEnvPrefix = "SNOWFLAKE__CONNECTION__";
// How long an analyst request may take; the service can think for minutes on a large model.
inline constexpr std::chrono::seconds kAnalystRequestTimeout{300};
// The largest analyst answer read (32 MiB, after any decoding); a larger one fails the call
// with platform::RuntimeError naming the limit. Real answers are a few kilobytes.
inline constexpr std::size_t kAnalystMaxAnswerBytes = std::size_t{32} << 20;

// The warehouse connection settings of the process (see orvane/ingestion/snowflake_connection.hpp
// for the fields), read from "SNOWFLAKE__CONNECTION__" + field name.
struct SnowflakeProvisioningConfig : orvane::ingestion::SnowflakeConnectionConfig {
  // Reads the process environment. Throws platform::ValidationError listing every missing or
  // invalid setting by variable name, secrets never echoed.
  static SnowflakeProvisioningConfig from_env();
  // The same from the given environment entries.
  static SnowflakeProvisioningConfig from_env(const platform::settings::Environment& environment);
};

// A content block of kind "sql" or "suggestions" with the value the service sent.
struct AnalystPair {
  std::string kind;
  platform::Value value;
  friend bool operator==(const AnalystPair&, const AnalystPair&) = default;
};
// A text block's text, or a pair.
using AnalystEntry = std::variant<std::string, AnalystPair>;

// Call Snowflake Analyst and return the response. Raises on error.
// Sends the question with the model inline (its compact JSON without default-valued fields,
// under "semantic_model"), or with a model file's stage path (under "semantic_model_file"), in
// one POST to the connection's account host through the connection's own session
// (RestClient::send_raw): never retried, bounded by kAnalystRequestTimeout. An answer that
// refuses the session token (HTTP 401 or the session-expired code) renews the connection's
// session (re-logging in when the master token expired too) and sends the request once more; a
// second failure is reported as any other.
// Logs at info "Making non-streaming request to Snowflake Analyst with prompt: <prompt>" first,
// and for an answer below 400, info "Request successful, parsing response" then debug
// "Content blocks: <the blocks pretty-printed>".
// Throws:
// - platform::AssertionError without a message when the connection has no REST state (closed),
//   after the first log line and before anything is sent;
// - platform::RuntimeError "Request to Snowflake Analyst failed: <transport failure>" (an answer
//   beyond kAnalystMaxAnswerBytes is one: "the answer is larger than the limit of <n> bytes");
// - platform::snowflake::SnowflakeError when the session cannot be renewed;
// - platform::RuntimeError "Failed request with status <status>: <body>" for status 400 and
//   above, after the error log line "Request failed with status <status>: <body>";
// - platform::ValueError "Snowflake Analyst's answer is not JSON: <the parser's complaint>", or
//   "Snowflake Analyst's answer nests arrays and objects deeper than 256 levels";
// - platform::RuntimeError "Unexpected answer from Snowflake Analyst: not a JSON object" or
//   "Unexpected answer from Snowflake Analyst: \"message\" holds no list of \"content\"" for
//   JSON of another shape, and "Unexpected content block from Snowflake Analyst: <block>" or
//   "Unexpected text block from Snowflake Analyst: <block>" for a block of another shape;
// - platform::KeyError naming the missing key ("'type'", "'text'", "'statement'" or
//   "'suggestions'") for a block without it; no partial list is returned.
std::vector<AnalystEntry> call_snowflake_analyst(
    NativeSnowflakeConnection& conn, const semantic_model::SemanticModel& semantic_model_file,
    const std::string& prompt);
std::vector<AnalystEntry> call_snowflake_analyst(NativeSnowflakeConnection& conn,
                                                 const std::string& semantic_model_file,
                                                 const std::string& prompt);

// Put a file into a Snowflake stage.
// Runs "PUT 'file://<file_path>' <stage_spec>" (the path quoted, so spaces, quotes and ";" stay
// in it) and returns "<stage_spec>/<file name>". Before running anything, throws
// platform::ValueError "Stage spec must start with @" when the stage does not start with "@",
// and a ValueError when it is not one stage reference ("@name", "@db.schema.name", "@~",
// "@%table", quoted names, an optional "/path"): a ";", a line break or a space outside quotes
// would add to the statement. The PUT statement's errors, a file that failed included,
// propagate unchanged.
std::string put_file(NativeSnowflakeConnection& conn, const std::string& stage_spec,
                     const std::string& file_path);

}  // namespace orvane_semantic_agent::cortex
