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
// from_ordered_json: an unsigned integer beyond the signed 64-bit range becomes a BigInt, and so
// does an exact number (below); any other binary value (nlohmann's own extension, never parsed
// from JSON text) throws platform::ValueError.
//
// Exact numbers: an integer beyond 64 bits that must keep its digits in an nlohmann tree (a
// result row bound for the MCP output) is held as a binary value of kExactNumberSubtype whose
// bytes are its decimal digits. `dump_exact` writes such a tree, the numbers as their digits;
// nlohmann's own dump would write each one as a {"bytes": [...], "subtype": ...} object.
//
//   nlohmann::ordered_json row{{"N", exact_number(BigInt{"123456789012345678901234567890"})}};
//   dump_exact(row) == R"({"N":123456789012345678901234567890})"
//
// Pure functions, safe from any thread.
#pragma once

#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

#include "platform/value/value.hpp"

namespace platform::json {

nlohmann::ordered_json to_ordered_json(const Value& value);

Value from_ordered_json(const nlohmann::ordered_json& json);

inline constexpr std::uint64_t kExactNumberSubtype = 0x45;  // 'E'

nlohmann::ordered_json exact_number(const BigInt& number);
bool is_exact_number(const nlohmann::ordered_json& json);

// The compact JSON text of `json`, as nlohmann's dump(-1) writes it with invalid UTF-8 replaced
// by U+FFFD, except that exact numbers are written as their digits.
std::string dump_exact(const nlohmann::ordered_json& json);

}  // namespace platform::json
