// YAML text of `Value` trees, as the reference YAML library's pure path writes and reads it.
//
// `dump` writes exactly what `yaml.dump(value, sort_keys=False)` writes: block style, indent 2,
// width 80, no raw non-ASCII characters (they are escaped in double quotes), long texts folded
// at the same spaces, keys of more than 122 code points (or holding a line break) written as
// "? key" / ": value". `safe_load` reads one document and types plain scalars by the YAML 1.1
// rules of `yaml.safe_load`: null (~, null, empty), booleans (yes/no/on/off/true/false in their
// three spellings), integers (decimal, 0b, 0x, leading-0 octal, sexagesimal, underscores),
// floats (with sexagesimal, .inf, .nan; "1e3" stays text), dates and date-times. It honours
// anchors, aliases and merge keys ("<<") and keeps the last value of a repeated key at its first
// position. Where libyaml (which does the syntax) is laxer than the reference, it refuses what
// the reference refuses: tabs after ":" or "-" and inside a plain scalar, a "#" right after a
// block scalar's indicators, a "?" inside a plain scalar in [] or {}.
//
//   std::string text = platform::yaml::dump(tree);
//   platform::Value back = platform::yaml::safe_load(text);
//
// Map keys are text in a tree: a scalar key becomes Python's str() of its value (1 -> "1",
// true -> "True", null -> "None", 1.5 -> "1.5", a date -> "2024-02-29"). So keys that the
// reference keeps apart (1 and "1") share one entry, and keys that it merges (1, 1.0, true)
// stay apart. What a tree cannot hold is refused with YAMLError: a list or map as a key, a
// recursive alias, the tags !!binary, !!set, !!omap and !!pairs. Two more refusals where
// libyaml would read something else than the reference: a byte order mark at the start of a
// line other than the first (skipped at the very start), and a tab right after the
// indentation of an auto-indented block scalar's first line.
//
// Both are pure functions, safe from any thread.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/value/value.hpp"

namespace platform::yaml {

// Limits of `safe_load`; text beyond them is refused with YAMLError.
inline constexpr std::size_t kMaxTextBytes = 32u << 20;
inline constexpr std::size_t kMaxDepth = 1000;
// Counted after alias expansion, so that a small "billion laughs" text stays small.
inline constexpr std::size_t kMaxNodes = 1'000'000;
inline constexpr std::size_t kMaxExpandedTextBytes = 128u << 20;

// The YAML text of `value`, ending with one line break. Dates and date-times are written as the
// reference writes Python dates (plain ISO text, "2024-02-29" and "2024-02-29 10:20:30+01:00",
// which read back as dates); a root scalar is followed by "..." as the reference does.
// Throws platform::YAMLError only for a text that is not valid UTF-8. Recursion follows the
// tree's depth (trees read by `safe_load` are at most kMaxDepth deep).
std::string dump(const Value& value);

// The value of the single document in `text` (UTF-8); null for an empty text or one of only
// comments. Throws platform::YAMLError, with the line and column (1-based), on text that is
// not valid YAML or UTF-8, holds a NUL or other control character, holds a second document,
// uses a non-standard tag, has a scalar its tag cannot hold ("2024-02-30", "!!int abc"), or
// exceeds the limits above.
Value safe_load(std::string_view text);

}  // namespace platform::yaml
