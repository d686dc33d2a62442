// The text forms that the reference YAML library takes from Python: `repr` of a float, the
// float text its writer emits, and `str` of a scalar used as a map key.
#pragma once

#include <optional>
#include <string>

#include "platform/value/value.hpp"

namespace platform::yaml::internal {

// Python's repr(float): shortest round-trip digits, exponent form below 1e-4 and from 1e16 on,
// "1e+16", "1.5e-07", "0.0001", "inf", "nan".
std::string float_repr(double value);

// The writer's float text: ".nan", ".inf", "-.inf", otherwise the lowercase repr with ".0"
// added before an exponent that follows a bare integer ("1e+16" becomes "1.0e+16").
std::string yaml_float_text(double value);

// Python's str() of a scalar read as a map key: "None", "True", "1", "1.5", "2024-02-29",
// "2024-02-29 10:20:30+00:00"; nullopt for a list or map (unhashable in the reference).
std::optional<std::string> key_text(const Value& key);

}  // namespace platform::yaml::internal
