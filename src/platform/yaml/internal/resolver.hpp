// The YAML 1.1 typing of scalars, as the reference safe reader does it.
//
// `resolve_plain` names the type that an unquoted scalar reads as (the writer asks it whether a
// text may stay unquoted); the `construct_*` functions turn a scalar's text into its value, for
// a resolved plain scalar or one with an explicit standard tag.
//
//   resolve_plain("yes") == ImplicitTag::kBool; construct_int("0x_1F") == Value(31)
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

#include "platform/value/value.hpp"

namespace platform::yaml::internal {

enum class ImplicitTag { kStr, kNull, kBool, kInt, kFloat, kTimestamp, kMerge, kValue };

// The type of a plain scalar by the reference's implicit resolvers (anchored patterns).
ImplicitTag resolve_plain(std::string_view text);

// A scalar text that its type cannot hold ("2024-02-30", "!!int abc"); the reader adds the
// position and throws it on as platform::YAMLError.
class ScalarError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Integers beyond 64 bits become BigInt; more than this many digits are refused, as the
// reference's interpreter refuses to convert them.
inline constexpr std::size_t kMaxIntegerDigits = 4300;

Value construct_bool(std::string_view text);
Value construct_int(std::string_view text);
Value construct_float(std::string_view text);
// A Date for "YYYY-MM-DD", a DateTime when a time follows; validated like Python's datetime.
Value construct_timestamp(std::string_view text);

}  // namespace platform::yaml::internal
