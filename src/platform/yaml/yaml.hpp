// YAML text of `Value` trees, as the reference YAML library's pure path writes and reads it.
//
// `dump` writes exactly what `yaml.dump(value, sort_keys=False)` writes: block style, indent 2,
// width 80, no raw non-ASCII characters. `safe_load` reads one document and types plain scalars
// by the YAML 1.1 rules of `yaml.safe_load` (null, booleans with yes/no/on/off, every integer
// form, floats, dates, timestamps); it honours anchors, aliases and merge keys and keeps the last
// of repeated keys. Map keys are texts in the tree: a scalar key reads as its Python text form.
//
//   std::string text = platform::yaml::dump(tree);
//   platform::Value back = platform::yaml::safe_load(text);
//
// Both are pure functions, safe from any thread.
#pragma once

#include <string>
#include <string_view>

#include "platform/value/value.hpp"

namespace platform::yaml {

// The YAML text of `value`, ending with one line break. Never throws for a tree of null,
// booleans, numbers, texts, lists and maps; dates and date-times are written as the reference
// writes Python dates (plain ISO text, which reads back as a date).
std::string dump(const Value& value);

// The value of the single document in `text`; null for an empty text or one of only comments.
// Throws platform::YAMLError, with the line and column, on text that is not valid YAML, holds
// a second document, uses a non-standard tag, or exceeds the reader's limits (nesting depth,
// alias expansion, size).
Value safe_load(std::string_view text);

}  // namespace platform::yaml
