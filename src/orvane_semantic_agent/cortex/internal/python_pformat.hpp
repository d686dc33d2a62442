// JSON data written the way Python's `pprint.pformat` writes the same data after `json.loads`:
// width 80, indent 1, map keys sorted, texts in Python's repr (long ones split into adjacent
// literals), True/False/None.
//
//   python_pformat(nlohmann::json::parse(R"([{"type": "text", "text": "hi"}])"))
//   // "[{'text': 'hi', 'type': 'text'}]"
//
// Widths count characters (code points), as Python does. Pure functions, safe from any thread.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

namespace orvane_semantic_agent::cortex::internal {

// Python's repr of the value, on one line.
std::string python_repr(const nlohmann::json& value);

std::string python_pformat(const nlohmann::json& value);

}  // namespace orvane_semantic_agent::cortex::internal
