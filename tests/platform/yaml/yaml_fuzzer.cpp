// Reads any bytes; what reads must write, and what it writes must read back to the same tree.
// A YAMLError is the allowed failure; anything else (a crash, another exception, a round trip
// that changes the tree) is a finding.
//
// One exception to the round trip, inherited on purpose: the reference writer (which the writer
// matches byte for byte) folds double-quoted text wrongly once its continuation lines are
// indented past the line width, which takes about 40 levels of nesting; such trees are only
// read and written.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/errors/errors.hpp"
#include "platform/yaml/yaml.hpp"

namespace {

// Equality that takes NaN as equal to itself, since ".nan" reads back as a NaN.
bool same(const platform::Value& a, const platform::Value& b) {
  if (a.is_double() && b.is_double()) {
    const double x = a.as_double(), y = b.as_double();
    return (std::isnan(x) && std::isnan(y)) || (x == y && std::signbit(x) == std::signbit(y));
  }
  if (a.is_list() && b.is_list()) {
    const auto& l = a.as_list();
    const auto& r = b.as_list();
    if (l.size() != r.size()) return false;
    for (std::size_t i = 0; i < l.size(); ++i) {
      if (!same(l[i], r[i])) return false;
    }
    return true;
  }
  if (a.is_map() && b.is_map()) {
    const auto& l = a.as_map();
    const auto& r = b.as_map();
    if (l.size() != r.size()) return false;
    for (std::size_t i = 0; i < l.size(); ++i) {
      if (l[i].first != r[i].first || !same(l[i].second, r[i].second)) return false;
    }
    return true;
  }
  return a == b;
}

std::size_t depth(const platform::Value& value) {
  std::size_t deepest = 0;
  if (value.is_list()) {
    for (const auto& item : value.as_list()) deepest = std::max(deepest, depth(item));
  } else if (value.is_map()) {
    for (const auto& [key, item] : value.as_map()) deepest = std::max(deepest, depth(item));
  } else {
    return 0;
  }
  return deepest + 1;
}

// Indentation grows by 2 per level; folding breaks when it passes the width of 80.
constexpr std::size_t kRoundTripDepth = 35;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  platform::Value tree;
  try {
    tree = platform::yaml::safe_load(std::string_view(reinterpret_cast<const char*>(data), size));
  } catch (const platform::YAMLError&) {
    return 0;
  }
  const std::string text = platform::yaml::dump(tree);
  if (depth(tree) >= kRoundTripDepth) return 0;
  if (!same(platform::yaml::safe_load(text), tree)) std::abort();
  return 0;
}
