#include "orvane_semantic_agent/generate/internal/answer_keys.hpp"

#include <fmt/format.h>

#include "platform/errors/errors.hpp"
#include "platform/pyrepr/python_repr.hpp"

namespace orvane_semantic_agent::generate::internal {
namespace {

[[noreturn]] void fail_malformed(std::string_view what, std::string_view expected,
                                 const platform::Value& found) {
  throw platform::RuntimeError(fmt::format("Malformed catalogue answer: {} should be {}, not {}",
                                           what, expected, found.type_name()));
}

const platform::Value::Map& as_map(const platform::Value& value, std::string_view name) {
  if (!value.is_map()) fail_malformed(fmt::format("the holder of {}", name), "an object", value);
  return value.as_map();
}

}  // namespace

const platform::Value& key(const platform::Value& map, std::string_view name) {
  as_map(map, name);
  const platform::Value* value = map.find(name);
  if (value == nullptr) throw platform::KeyError(platform::pyrepr::python_text_repr(name));
  return *value;
}

const platform::Value* optional_key(const platform::Value& map, std::string_view name) {
  as_map(map, name);
  const platform::Value* value = map.find(name);
  return value == nullptr || value->is_null() ? nullptr : value;
}

const platform::Value::List& as_list(const platform::Value& value, std::string_view what) {
  if (!value.is_list()) fail_malformed(what, "a list", value);
  return value.as_list();
}

}  // namespace orvane_semantic_agent::generate::internal
