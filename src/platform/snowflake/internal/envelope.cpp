#include "platform/snowflake/internal/envelope.hpp"

#include <fmt/format.h>

#include "platform/snowflake/snowflake_error.hpp"

namespace platform::snowflake::internal {

bool succeeded(const nlohmann::json& envelope) {
  if (!envelope.is_object()) return false;
  const auto it = envelope.find("success");
  if (it == envelope.end()) return false;
  if (!it->is_boolean()) {
    throw SnowflakeError::malformed_answer(
        fmt::format("The warehouse's answer holds a \"success\" of kind {} instead of true or "
                    "false",
                    it->type_name()));
  }
  return it->get<bool>();
}

std::string code_of(const nlohmann::json& envelope) {
  if (!envelope.is_object()) return "";
  const auto it = envelope.find("code");
  if (it == envelope.end() || it->is_null()) return "";
  return it->is_string() ? it->get<std::string>() : it->dump();
}

const nlohmann::json& data_of(const nlohmann::json& envelope, std::string_view what) {
  const auto it = envelope.is_object() ? envelope.find("data") : envelope.end();
  if (!envelope.is_object() || it == envelope.end() || !it->is_object()) {
    throw SnowflakeError::malformed_answer(
        fmt::format("The warehouse's answer to {} holds no \"data\" object", what));
  }
  return *it;
}

std::string text_member(const nlohmann::json& object, std::string_view key) {
  if (!object.is_object()) {
    throw SnowflakeError::malformed_answer(fmt::format(
        "The warehouse answered {} where an object with \"{}\" belongs", object.type_name(), key));
  }
  const auto it = object.find(key);
  if (it == object.end() || it->is_null()) return "";
  if (!it->is_string()) {
    throw SnowflakeError::malformed_answer(fmt::format(
        "The warehouse's answer holds a \"{}\" of kind {} instead of text", key, it->type_name()));
  }
  return it->get<std::string>();
}

}  // namespace platform::snowflake::internal
