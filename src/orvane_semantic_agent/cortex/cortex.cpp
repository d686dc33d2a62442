#include "orvane_semantic_agent/cortex/cortex.hpp"

#include <nlohmann/json.hpp>

#include "orvane_semantic_agent/cortex/internal/analyst_request.hpp"
#include "orvane_semantic_agent/cortex/internal/stage_reference.hpp"
#include "platform/errors/errors.hpp"
#include "platform/http/http_client.hpp"
#include "platform/json/depth_limited_parse.hpp"
#include "platform/json/ordered_json.hpp"
#include "platform/log/log.hpp"
#include "platform/pyrepr/python_repr.hpp"
#include "platform/snowflake/file_transfer/file_uri.hpp"

namespace orvane_semantic_agent::cortex {
namespace {

using Json = nlohmann::ordered_json;

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

// The block's value under `key`; KeyError "'key'" when it is absent, as the service's clients
// know it from a failed lookup.
const Json& required(const Json& block, const char* key) {
  if (!block.is_object()) {
    throw platform::RuntimeError("Unexpected content block from Snowflake Analyst: " +
                                 block.dump());
  }
  const auto it = block.find(key);
  if (it == block.end()) throw platform::KeyError(std::string("'") + key + "'");
  return *it;
}

// An analyst answer, parsed once with its nesting bounded (platform::ValueError beyond); a 401
// says all it has to say by its status and is not parsed.
struct AnalystAnswer {
  platform::http::Response response;
  Json body;                 // discarded when the body is not JSON; null for a 401
  std::string not_json_why;  // the parser's complaint then
};

AnalystAnswer read_answer(platform::http::Response response) {
  AnalystAnswer answer{.response = std::move(response)};
  if (answer.response.status == 401) return answer;
  try {
    answer.body = platform::json::parse_depth_limited<Json>(
        answer.response.body, "Snowflake Analyst's answer", /*allow_exceptions=*/true);
  } catch (const Json::parse_error& error) {
    answer.body = Json(Json::value_t::discarded);
    answer.not_json_why = error.what();
  }
  return answer;
}

bool refuses_session_token(const AnalystAnswer& answer) {
  std::string code;
  if (answer.body.is_object()) {
    const auto it = answer.body.find("code");
    if (it != answer.body.end() && it->is_string()) code = it->get<std::string>();
  }
  return platform::snowflake::refuses_session_token(answer.response.status, code);
}

std::vector<AnalystEntry> send_to_analyst(NativeSnowflakeConnection& conn, const Json& body,
                                          const std::string& prompt) {
  platform::log::info("{}",
                      "Making non-streaming request to Snowflake Analyst with prompt: " + prompt);
  platform::snowflake::RestClient* rest = conn.rest();
  platform::check(rest != nullptr);

  const std::string body_text = body.dump();
  const auto ask = [&](const std::string& token) {
    platform::http::Result result = platform::http::perform(
        internal::make_analyst_request(rest->options().protocol, conn.host(), token, body_text));
    if (!result.ok()) {
      throw platform::RuntimeError("Request to Snowflake Analyst failed: " +
                                   result.error_message());
    }
    return read_answer(std::move(result.response()));
  };
  // After an idle hour the session token has expired and no statement ran to renew it: renew it
  // as the connection does and send once more; a second refusal is reported like any failure.
  const std::string used_token = rest->token();
  AnalystAnswer answer = ask(used_token);
  if (refuses_session_token(answer)) {
    platform::log::debug("Snowflake Analyst refused the session token; renewing the session");
    rest->renew_session(used_token);
    answer = ask(rest->token());
  }
  const platform::http::Response& response = answer.response;
  if (response.status >= 400) {
    platform::log::error("{}", "Request failed with status " + std::to_string(response.status) +
                                   ": " + response.body);
    throw platform::RuntimeError("Failed request with status " + std::to_string(response.status) +
                                 ": " + response.body);
  }
  platform::log::info("Request successful, parsing response");

  if (answer.body.is_discarded()) {
    throw platform::ValueError("Snowflake Analyst's answer is not JSON: " + answer.not_json_why);
  }
  const Json& data = answer.body;
  if (!data.is_object()) {
    throw platform::RuntimeError("Unexpected answer from Snowflake Analyst: not a JSON object");
  }
  const Json message = data.value("message", Json::object());
  const Json content_blocks =
      message.is_object() ? message.value("content", Json::array()) : Json();
  if (!content_blocks.is_array()) {
    throw platform::RuntimeError(
        "Unexpected answer from Snowflake Analyst: \"message\" holds no list of \"content\"");
  }
  platform::log::debug(
      "{}", "Content blocks: " + platform::pyrepr::python_pformat(nlohmann::json(content_blocks)));

  std::vector<AnalystEntry> accumulated_content;
  for (const Json& block : content_blocks) {
    const Json& type = required(block, "type");
    if (type == "text") {
      const Json& text = required(block, "text");
      if (!text.is_string()) {
        throw platform::RuntimeError("Unexpected text block from Snowflake Analyst: " +
                                     block.dump());
      }
      accumulated_content.emplace_back(text.get<std::string>());
    } else if (type == "sql") {
      accumulated_content.emplace_back(
          AnalystPair{"sql", platform::json::from_ordered_json(required(block, "statement"))});
    } else if (type == "suggestions") {
      accumulated_content.emplace_back(AnalystPair{
          "suggestions", platform::json::from_ordered_json(required(block, "suggestions"))});
    }
  }
  return accumulated_content;
}

}  // namespace

namespace internal {

platform::http::Request make_analyst_request(std::string_view scheme, const std::string& host,
                                             const std::string& token, std::string body) {
  return platform::http::Request{
      .method = "POST",
      .url = std::string(scheme) + "://" + host + "/api/v2/cortex/analyst/message",
      .headers = {{"Authorization", "Snowflake Token=\"" + token + "\""},
                  {"Content-Type", "application/json"}},
      .body = std::move(body),
      .total_timeout = kAnalystRequestTimeout,
      .max_body_bytes = kAnalystMaxAnswerBytes,
  };
}

}  // namespace internal

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
