#include "orvane/sdk/internal/answer_reader.hpp"

#include <fmt/format.h>

#include "platform/errors/errors.hpp"

namespace orvane::sdk::internal {
namespace {

std::string field_place(std::string_view where, std::string_view key) {
  return fmt::format("{}: field \"{}\"", where, key);
}

}  // namespace

void fail_malformed(std::string_view where, std::string_view problem) {
  throw platform::RuntimeError(fmt::format("Malformed catalogue answer: {}: {}", where, problem));
}

const platform::Value::Map& as_map(const platform::Value& value, std::string_view where) {
  if (!value.is_map())
    fail_malformed(where, fmt::format("expected an object, got {}", value.type_name()));
  return value.as_map();
}

const platform::Value::List& as_list(const platform::Value& value, std::string_view where) {
  if (!value.is_list())
    fail_malformed(where, fmt::format("expected a list, got {}", value.type_name()));
  return value.as_list();
}

const std::string& as_text(const platform::Value& value, std::string_view where) {
  if (!value.is_string())
    fail_malformed(where, fmt::format("expected a text, got {}", value.type_name()));
  return value.as_string();
}

const platform::Value* optional_field(const platform::Value& value, std::string_view key,
                                      std::string_view where) {
  as_map(value, where);
  const platform::Value* field = value.find(key);
  return field == nullptr || field->is_null() ? nullptr : field;
}

const platform::Value& required_field(const platform::Value& value, std::string_view key,
                                      std::string_view where) {
  const platform::Value* field = optional_field(value, key, where);
  if (field == nullptr) fail_malformed(where, fmt::format("missing field \"{}\"", key));
  return *field;
}

std::string required_text(const platform::Value& value, std::string_view key,
                          std::string_view where) {
  return as_text(required_field(value, key, where), field_place(where, key));
}

std::optional<std::string> optional_text(const platform::Value& value, std::string_view key,
                                         std::string_view where) {
  const platform::Value* field = optional_field(value, key, where);
  if (field == nullptr) return std::nullopt;
  return as_text(*field, field_place(where, key));
}

std::optional<double> optional_number(const platform::Value& value, std::string_view key,
                                      std::string_view where) {
  const platform::Value* field = optional_field(value, key, where);
  if (field == nullptr) return std::nullopt;
  if (field->is_int()) return static_cast<double>(field->as_int());
  if (field->is_double()) return field->as_double();
  fail_malformed(field_place(where, key),
                 fmt::format("expected a number, got {}", field->type_name()));
}

bool optional_flag(const platform::Value& value, std::string_view key, std::string_view where) {
  const platform::Value* field = optional_field(value, key, where);
  if (field == nullptr) return false;
  if (!field->is_bool()) {
    fail_malformed(field_place(where, key),
                   fmt::format("expected true or false, got {}", field->type_name()));
  }
  return field->as_bool();
}

}  // namespace orvane::sdk::internal
