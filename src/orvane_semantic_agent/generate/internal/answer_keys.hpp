// Reading keys of a catalogue answer the way the generator's callers expect a missing key to
// fail: platform::KeyError whose text is the key in Python's quoting ("'listQueries'").
#pragma once

#include <string_view>

#include "platform/value/value.hpp"

namespace orvane_semantic_agent::generate::internal {

// `map[key]`. Throws platform::KeyError when the key is absent, and platform::RuntimeError
// ("Malformed catalogue answer: ...") when `map` is not a map at all.
const platform::Value& key(const platform::Value& map, std::string_view name);

// `map.get(key)`: nullptr when the key is absent or its value is null.
const platform::Value* optional_key(const platform::Value& map, std::string_view name);

// The value as a list. Throws platform::RuntimeError when it is not one; `what` names it.
const platform::Value::List& as_list(const platform::Value& value, std::string_view what);

}  // namespace orvane_semantic_agent::generate::internal
