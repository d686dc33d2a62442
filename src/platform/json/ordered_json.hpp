// Conversions between `Value` trees and nlohmann::ordered_json, for wire formats built with
// nlohmann (requests, responses) that carry `Value` data.
//
//   nlohmann::ordered_json body = platform::json::to_ordered_json(tree);
//   platform::Value back = platform::json::from_ordered_json(nlohmann::ordered_json::parse(text));
//
// to_ordered_json: key order is kept; dates and date-times become their ISO text (iso_text in
// json_writer.hpp); a big integer becomes an unsigned integer when it fits 64 bits and otherwise
// a double (nlohmann has no wider integer), so write a tree with big integers through
// platform::json::write to keep their exact digits. NaN and the infinities stay doubles (nlohmann
// dumps them as null).
// from_ordered_json: an unsigned integer beyond the signed 64-bit range becomes a BigInt; a
// binary value (nlohmann's own extension, never parsed from JSON text) throws platform::ValueError.
//
// Pure functions, safe from any thread.
#pragma once

#include <nlohmann/json.hpp>

#include "platform/value/value.hpp"

namespace platform::json {

nlohmann::ordered_json to_ordered_json(const Value& value);

Value from_ordered_json(const nlohmann::ordered_json& json);

}  // namespace platform::json
