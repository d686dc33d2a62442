#include "orvane_semantic_agent/cortex/internal/analyst_answer.hpp"

#include "platform/errors/errors.hpp"
#include "platform/json/depth_limited_parse.hpp"
#include "platform/json/ordered_json.hpp"

namespace orvane_semantic_agent::cortex::internal {
namespace {

using Json = nlohmann::ordered_json;

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

}  // namespace

Json content_blocks(const std::string& body) {
  Json data;
  try {
    data = platform::json::parse_depth_limited<Json>(body, "Snowflake Analyst's answer",
                                                     /*allow_exceptions=*/true);
  } catch (const Json::parse_error& error) {
    throw platform::ValueError(std::string("Snowflake Analyst's answer is not JSON: ") +
                               error.what());
  }
  if (!data.is_object()) {
    throw platform::RuntimeError("Unexpected answer from Snowflake Analyst: not a JSON object");
  }
  const Json message = data.value("message", Json::object());
  Json blocks = message.is_object() ? message.value("content", Json::array()) : Json();
  if (!blocks.is_array()) {
    throw platform::RuntimeError(
        "Unexpected answer from Snowflake Analyst: \"message\" holds no list of \"content\"");
  }
  return blocks;
}

std::vector<AnalystEntry> entries_of(const Json& blocks) {
  std::vector<AnalystEntry> accumulated_content;
  for (const Json& block : blocks) {
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

}  // namespace orvane_semantic_agent::cortex::internal
