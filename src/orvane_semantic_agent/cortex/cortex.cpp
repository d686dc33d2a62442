#include "orvane_semantic_agent/cortex/cortex.hpp"

#include <nlohmann/json.hpp>

#include "orvane_semantic_agent/cortex/internal/analyst_answer.hpp"
#include "orvane_semantic_agent/cortex/internal/stage_reference.hpp"
#include "platform/errors/errors.hpp"
#include "platform/http/http_client.hpp"
#include "platform/log/log.hpp"
#include "platform/pyrepr/python_repr.hpp"
#include "platform/snowflake/file_transfer/file_uri.hpp"

namespace orvane_semantic_agent::cortex {
namespace {

using Json = nlohmann::ordered_json;

constexpr std::string_view kAnalystPath = "/api/v2/cortex/analyst/message";

Json request_body(const std::string& prompt) {
  Json text_block;
  text_block["type"] = "text";
  text_block["text"] = prompt;
  Json message;
  message["role"] = "user";
  message["content"] = Json::array({text_block});
  Json body;
  body["messages"] = Json::array({message});
  body["stream"] = false;
  return body;
}

std::vector<AnalystEntry> send_to_analyst(NativeSnowflakeConnection& conn, const Json& body,
                                          const std::string& prompt) {
  platform::log::info("{}",
                      "Making non-streaming request to Snowflake Analyst with prompt: " + prompt);
  platform::snowflake::RestClient* rest = conn.rest();
  platform::check(rest != nullptr);

  platform::http::Result result = rest->send_raw({.path = std::string(kAnalystPath),
                                                  .json_body = body.dump(),
                                                  .total_timeout = kAnalystRequestTimeout,
                                                  .max_body_bytes = kAnalystMaxAnswerBytes});
  if (!result.ok()) {
    throw platform::RuntimeError("Request to Snowflake Analyst failed: " + result.error_message());
  }
  const platform::http::Response& response = result.response();
  if (response.status >= 400) {
    const std::string status_and_body = std::to_string(response.status) + ": " + response.body;
    platform::log::error("{}", "Request failed with status " + status_and_body);
    throw platform::RuntimeError("Failed request with status " + status_and_body);
  }
  platform::log::info("Request successful, parsing response");

  const Json content_blocks = internal::content_blocks(response.body);
  platform::log::debug(
      "{}", "Content blocks: " + platform::pyrepr::python_pformat(nlohmann::json(content_blocks)));
  return internal::entries_of(content_blocks);
}

}  // namespace

SnowflakeProvisioningConfig SnowflakeProvisioningConfig::from_env() {
  return from_env(platform::settings::process_environment());
}

SnowflakeProvisioningConfig SnowflakeProvisioningConfig::from_env(
    const platform::settings::Environment& environment) {
  platform::settings::EnvSettings settings("SnowflakeProvisioningConfig",
                                           std::string(kSnowflakeEnvPrefix), environment);
  SnowflakeProvisioningConfig config;
  config.read_settings(settings);
  settings.finish();
  return config;
}

std::vector<AnalystEntry> call_snowflake_analyst(
    NativeSnowflakeConnection& conn, const semantic_model::SemanticModel& semantic_model_file,
    const std::string& prompt) {
  Json body = request_body(prompt);
  body["semantic_model"] = semantic_model_file.model_dump_json(std::nullopt, true);
  return send_to_analyst(conn, body, prompt);
}

std::vector<AnalystEntry> call_snowflake_analyst(NativeSnowflakeConnection& conn,
                                                 const std::string& semantic_model_file,
                                                 const std::string& prompt) {
  Json body = request_body(prompt);
  body["semantic_model_file"] = semantic_model_file;
  return send_to_analyst(conn, body, prompt);
}

std::string put_file(NativeSnowflakeConnection& conn, const std::string& stage_spec,
                     const std::string& file_path) {
  if (!stage_spec.starts_with('@')) throw platform::ValueError("Stage spec must start with @");
  if (!internal::is_one_stage_reference(stage_spec)) {
    throw platform::ValueError(
        "Stage spec must name one stage, such as @stage or @db.schema.stage/path, not " +
        nlohmann::json(stage_spec).dump());
  }
  conn.execute_string("PUT " + platform::snowflake::quoted_file_uri(file_path) + " " + stage_spec);
  std::string trimmed = file_path;
  // A path's name ignores trailing separators ("dir/" names "dir").
  while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
  return stage_spec + "/" + std::filesystem::path(trimmed).filename().string();
}

}  // namespace orvane_semantic_agent::cortex
