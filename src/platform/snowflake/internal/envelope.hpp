// Reading the warehouse's JSON envelope ({"data", "code", "message", "success"}) and the objects
// inside it. A field of the wrong kind, or a "data" missing where it must be, raises
// SnowflakeError naming the field, never a JSON library error, so that the connector's own
// clean-up (aborting a statement) runs whatever the warehouse sent.
//
//   if (!succeeded(envelope)) throw SnowflakeError::from_envelope(envelope);
//   const nlohmann::json& data = data_of(envelope, "the statement");
//   std::string query_id = text_member(data, "queryId");
#pragma once

#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace platform::snowflake::internal {

// Whether the envelope reports success: "success" is true. Absent counts as false; a value that
// is not a boolean raises.
bool succeeded(const nlohmann::json& envelope);

// The envelope's "code" as text ("390112"; a number as its digits); empty when absent or null.
std::string code_of(const nlohmann::json& envelope);

// The envelope's "data" object; raises when it is missing or not an object. `what` names the
// exchange in the error ("the statement").
const nlohmann::json& data_of(const nlohmann::json& envelope, std::string_view what);

// A text member of an object: empty when the object lacks it or it is null; raises when it is of
// another kind (or the object is no object).
std::string text_member(const nlohmann::json& object, std::string_view key);

}  // namespace platform::snowflake::internal
