// JSON text of `Value` trees, in the two layouts the system writes.
//
// Compact: no whitespace between tokens. Indented: every member and element on its own line,
// each level `indent` spaces deeper, ": " after a key, and [] / {} for empty lists and maps.
// Keys keep their order. Only the double quote, the backslash and control characters are
// escaped; other characters are written as UTF-8 (bytes that are not UTF-8 become U+FFFD, one
// for each maximal subpart as platform/text/utf8.hpp reads them, so the text is always valid
// JSON). Integers, big ones included, keep their exact
// digits; doubles are written in their shortest round-trip form ("1.0", "0.1", "1e16"); NaN
// and the infinities, which JSON cannot hold, are written as null. Dates and date-times are
// written as their ISO text (see iso_text). There is no trailing line break.
//
//   platform::json::write(platform::Value::Map{{"a", 1}}) == R"({"a":1})"
//   platform::json::write(tree, 2)  // indented by 2
//
// Pure functions; they never throw for any tree (except std::bad_alloc).
#pragma once

#include <optional>
#include <string>

#include "platform/value/value.hpp"

namespace platform::json {

// The JSON text of `value`; compact when `indent` is empty, indented by `indent` spaces otherwise.
std::string write(const Value& value, std::optional<int> indent = std::nullopt);

// The text a date becomes in JSON: "2024-02-29".
std::string iso_text(const Date& date);
// The text a date-time becomes in JSON: ISO 8601 with six-digit microseconds when there are any,
// and its UTC offset, a zero offset written "Z": "2024-02-29T10:20:30.500000Z".
std::string iso_text(const DateTime& datetime);

// The shortest decimal text that reads back as `number` ("1.0", "1.5e-7", "1e16"); finite only.
std::string shortest_decimal(double number);

}  // namespace platform::json
