// Checks a tool call's arguments against the tool's input schema, for the part of JSON Schema
// that tool parameters use: "required" names, each property's "type" (one name or a list of
// names), the "type" of an array's "items", and "additionalProperties": false.
#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>

namespace platform::mcp::internal {

// The first problem found, as a plain sentence ("missing required argument 'query'"), or
// nothing when the arguments (an object) fit the schema.
std::optional<std::string> argument_problem(const nlohmann::ordered_json& input_schema,
                                            const nlohmann::ordered_json& arguments);

// Removes the arguments that the schema's "properties" do not name (none when it names none):
// no handler reads them, and a queued call should hold no more than it needs.
void drop_unnamed_arguments(const nlohmann::ordered_json& input_schema,
                            nlohmann::ordered_json& arguments);

}  // namespace platform::mcp::internal
