// Where the reference reader is stricter than libyaml, which the reader uses for the syntax.
//
// The reference refuses a tab wherever it would have to skip it as white space: after an
// indicator such as ":" or "-", between tokens, inside a plain scalar. It wants a space or a
// line break right after a block scalar's indicators ("|#c" is an error there, a comment for
// libyaml), and it ends a plain scalar inside [] or {} at "?" ("[a?b]" is an error there).
// `needs_strict_scan` says cheaply whether a text can hold any of these; `find_refusal` then
// scans its tokens with libyaml to find the first one.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform::yaml::internal {

struct Refusal {
  std::string message;
  std::size_t line = 0;    // 0-based
  std::size_t column = 0;  // 0-based, in code points
};

bool needs_strict_scan(std::string_view text);

// Line breaks as both readers count them: "\n", "\r\n", "\r", U+0085, U+2028, U+2029.
// The length in bytes of the line break at `pos`, 0 when there is none.
std::size_t line_break_length(std::string_view text, std::size_t pos);
bool ends_with_line_break(std::string_view text);
std::size_t count_line_breaks(std::string_view text);

// The first thing the reference refuses and libyaml accepts; nullopt when there is none (or
// the text fails to scan before it, which the parser then reports).
std::optional<Refusal> find_refusal(std::string_view text);

}  // namespace platform::yaml::internal
