// Parsing JSON that comes from outside (a service's answer) with its nesting bounded.
//
// The functions that later convert, print or pretty-print a JSON tree (from_ordered_json, dump,
// the Python-style pretty-printer) recurse once per level, so an answer nested a million levels
// deep would overflow the stack; the parser itself does not recurse.
//
//   auto answer = platform::json::parse_depth_limited<nlohmann::ordered_json>(body, "The answer");
//   if (answer.is_discarded()) fail("not JSON");
#pragma once

#include <cstddef>
#include <string>

#include "platform/errors/errors.hpp"

namespace platform::json {

// How deeply arrays and objects may nest in a parsed answer (the root counts as one level).
inline constexpr std::size_t kMaxJsonDepth = 256;

// `text` parsed as Json::parse does: text that is not JSON gives a discarded value, or throws
// Json::parse_error with `allow_exceptions`. Throws platform::ValueError "<what> nests arrays and
// objects deeper than 256 levels" when the nesting exceeds kMaxJsonDepth.
template <typename Json>
Json parse_depth_limited(const std::string& text, const std::string& what,
                         bool allow_exceptions = false) {
  using Event = typename Json::parse_event_t;
  return Json::parse(
      text,
      [&what](int depth, Event event, Json&) {
        const bool opens = event == Event::object_start || event == Event::array_start;
        if (opens && static_cast<std::size_t>(depth) >= kMaxJsonDepth) {
          throw ValueError(what + " nests arrays and objects deeper than " +
                           std::to_string(kMaxJsonDepth) + " levels");
        }
        return true;
      },
      allow_exceptions);
}

}  // namespace platform::json
