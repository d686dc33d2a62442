// Reading catalogue answers (`Value` trees) with errors that say where the answer went wrong.
//
// Every function throws platform::RuntimeError "Malformed catalogue answer: <where>: <problem>"
// when the value is missing or of the wrong kind. `where` names the place being read, e.g.
// `aspect "schemaMetadata" of urn:orvane:dataset:(...)`. A null value counts as absent.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/value/value.hpp"

namespace orvane::sdk::internal {

[[noreturn]] void fail_malformed(std::string_view where, std::string_view problem);

const platform::Value::Map& as_map(const platform::Value& value, std::string_view where);
const platform::Value::List& as_list(const platform::Value& value, std::string_view where);
const std::string& as_text(const platform::Value& value, std::string_view where);

// The entry under `key` of the map `value`; nullptr when absent or null.
const platform::Value* optional_field(const platform::Value& value, std::string_view key,
                                      std::string_view where);
const platform::Value& required_field(const platform::Value& value, std::string_view key,
                                      std::string_view where);

std::string required_text(const platform::Value& value, std::string_view key,
                          std::string_view where);
std::optional<std::string> optional_text(const platform::Value& value, std::string_view key,
                                         std::string_view where);
std::optional<double> optional_number(const platform::Value& value, std::string_view key,
                                      std::string_view where);
// Absent reads as false.
bool optional_flag(const platform::Value& value, std::string_view key, std::string_view where);

}  // namespace orvane::sdk::internal
