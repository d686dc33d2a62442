// The package version, "0.1.3".
#pragma once

#include <array>
#include <string_view>

namespace orvane_semantic_agent {

inline constexpr std::string_view kVersion = "0.1.3";
inline constexpr std::array<int, 3> kVersionTuple = {0, 1, 3};

}  // namespace orvane_semantic_agent
