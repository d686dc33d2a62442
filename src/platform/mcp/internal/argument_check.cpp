#include "platform/mcp/internal/argument_check.hpp"

#include <cmath>

namespace platform::mcp::internal {

namespace {

using Json = nlohmann::ordered_json;

bool has_type(const Json& value, const std::string& type) {
  if (type == "string") return value.is_string();
  if (type == "boolean") return value.is_boolean();
  if (type == "object") return value.is_object();
  if (type == "array") return value.is_array();
  if (type == "null") return value.is_null();
  if (type == "number") return value.is_number();
  if (type == "integer") {
    if (value.is_number_integer()) return true;
    // JSON Schema counts 2.0 as an integer.
    return value.is_number_float() && std::isfinite(value.get<double>()) &&
           std::trunc(value.get<double>()) == value.get<double>();
  }
  return true;  // a type this check does not know is left to the tool
}

// True when `value` fits the schema's "type"; a schema without one accepts anything.
bool fits_type(const Json& value, const Json& schema, std::string& expected) {
  if (!schema.is_object() || !schema.contains("type")) return true;
  const Json& type = schema["type"];
  if (type.is_string()) {
    expected = type.get<std::string>();
    return has_type(value, expected);
  }
  if (!type.is_array()) return true;
  expected.clear();
  for (const Json& name : type) {
    if (!name.is_string()) continue;
    if (has_type(value, name.get<std::string>())) return true;
    expected += (expected.empty() ? "" : " or ") + name.get<std::string>();
  }
  return expected.empty();
}

std::optional<std::string> property_problem(const std::string& name, const Json& value,
                                            const Json& schema) {
  std::string expected;
  if (!fits_type(value, schema, expected)) {
    return "argument '" + name + "' must be of type " + expected;
  }
  if (!value.is_array() || !schema.is_object() || !schema.contains("items")) return std::nullopt;
  for (std::size_t index = 0; index < value.size(); ++index) {
    if (!fits_type(value[index], schema["items"], expected)) {
      return "argument '" + name + "' item " + std::to_string(index) + " must be of type " +
             expected;
    }
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> argument_problem(const Json& input_schema, const Json& arguments) {
  if (!input_schema.is_object()) return std::nullopt;
  const Json no_properties = Json::object();
  const Json& properties =
      input_schema.contains("properties") && input_schema["properties"].is_object()
          ? input_schema["properties"]
          : no_properties;
  if (input_schema.contains("required") && input_schema["required"].is_array()) {
    for (const Json& name : input_schema["required"]) {
      if (name.is_string() && !arguments.contains(name.get<std::string>())) {
        return "missing required argument '" + name.get<std::string>() + "'";
      }
    }
  }
  const bool closed = input_schema.value("additionalProperties", Json(true)) == Json(false);
  for (const auto& [name, value] : arguments.items()) {
    if (properties.contains(name)) {
      if (auto problem = property_problem(name, value, properties[name])) return problem;
    } else if (closed) {
      return "unexpected argument '" + name + "'";
    }
  }
  return std::nullopt;
}

void drop_unnamed_arguments(const Json& input_schema, Json& arguments) {
  const auto properties = input_schema.find("properties");
  if (properties == input_schema.end() || !properties->is_object()) return;
  for (auto argument = arguments.begin(); argument != arguments.end();) {
    if (properties->contains(argument.key())) {
      ++argument;
    } else {
      argument = arguments.erase(argument);
    }
  }
}

}  // namespace platform::mcp::internal
