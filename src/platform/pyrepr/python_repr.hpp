// Python's text forms of data, for log lines and messages that show a value as Python prints it.
//
// `python_pformat` writes JSON data the way Python's `pprint.pformat` writes the same data after
// `json.loads`: width 80, indent 1, map keys sorted, texts in Python's repr (long ones split into
// adjacent literals), True/False/None.
//
//   python_text_repr("it's")   // "\"it's\""
//   python_pformat(nlohmann::json::parse(R"([{"type": "text", "text": "hi"}])"))
//   // "[{'text': 'hi', 'type': 'text'}]"
//
// Widths count characters (code points), as Python does. Pure functions, safe from any thread.
#pragma once

#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace platform::pyrepr {

// Python's repr of a text: single quotes unless the text holds a single quote and no double
// quote, with Python's escapes ("it's" gives "\"it's\"", "a\tb" gives "'a\\tb'").
std::string python_text_repr(std::string_view text);

// Python's repr of the value, on one line.
std::string python_repr(const nlohmann::json& value);

std::string python_pformat(const nlohmann::json& value);

}  // namespace platform::pyrepr
