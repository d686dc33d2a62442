// Tools the MCP tests serve: an echo that can take its time, and one that always fails.
#pragma once

#include <chrono>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>
#include <thread>

#include "platform/mcp/server.hpp"

namespace osa_test::mcp {

using Json = nlohmann::ordered_json;

inline const std::string kFailureMessage = "No candidate urns provided";

inline Json echo_schema() {
  return Json::parse(R"({"type":"object","properties":{
      "text":{"type":"string"},"tags":{"type":"array","items":{"type":"string"}},
      "delay_ms":{"type":"integer"}},"required":["text"],"additionalProperties":false})");
}

// {"text": <text>} after `delay_ms` milliseconds (none by default); a call cancelled while it
// waits returns at once with "cancelled": true.
inline platform::mcp::Tool echo_tool() {
  return {.name = "echo",
          .description = "Echoes its text.",
          .input_schema = echo_schema(),
          .output_schema = Json{{"type", "object"}},
          .handler = [](const Json& arguments, platform::mcp::RequestContext& context) {
            const auto until = std::chrono::steady_clock::now() +
                               std::chrono::milliseconds(arguments.value("delay_ms", 0));
            while (std::chrono::steady_clock::now() < until && !context.cancelled()) {
              std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
            Json result{{"text", arguments["text"]}};
            if (context.cancelled()) result["cancelled"] = true;
            return result;
          }};
}

inline platform::mcp::Tool failing_tool() {
  return {.name = "fail",
          .description = "Always fails.",
          .input_schema = Json{{"type", "object"}},
          .handler = [](const Json&, platform::mcp::RequestContext&) -> Json {
            throw std::invalid_argument(kFailureMessage);
          }};
}

}  // namespace osa_test::mcp
