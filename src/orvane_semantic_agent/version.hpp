// The package version, "0.1.3".
//
// C++ reserves names with a double underscore, so the version module's `__version__` is
// `kVersion`, `__version_tuple__` is `kVersionTuple` and `__all__` is `kVersionAll`; `version`
// and `version_tuple` keep their names.
#pragma once

#include <array>
#include <string_view>

namespace orvane_semantic_agent {

inline constexpr std::string_view kVersion = "0.1.3";
inline constexpr std::array<int, 3> kVersionTuple = {0, 1, 3};
inline constexpr std::string_view version = kVersion;
inline constexpr std::array<int, 3> version_tuple = kVersionTuple;
// The module's public names, in their declared order.
inline constexpr std::array<std::string_view, 4> kVersionAll = {"__version__", "__version_tuple__",
                                                                "version", "version_tuple"};

}  // namespace orvane_semantic_agent
