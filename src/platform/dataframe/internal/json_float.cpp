#include "platform/dataframe/internal/json_float.hpp"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace platform::dataframe::internal {
namespace {

constexpr int kPrecision = 10;
constexpr double kPowerOfTen = 1e10;
// (double)1e16 - 1 rounds to 1e16 itself, so 1e16 is still written in fixed point.
constexpr double kFixedMax = 1e16 - 1;
constexpr double kFixedMin = 1e-15;

// The writer's fixed-point digits, fraction rounded by the digit arithmetic it uses (in doubles,
// so the rounding error of `value - whole` shows, as in "123456789.9876543134").
std::string fixed_text(double magnitude) {
  auto whole = static_cast<std::uint64_t>(magnitude);
  const double scaled = (magnitude - static_cast<double>(whole)) * kPowerOfTen;
  auto fraction = static_cast<std::uint64_t>(scaled);
  const double rest = scaled - static_cast<double>(fraction);
  if (rest > 0.5 || (rest == 0.5 && (fraction == 0 || (fraction & 1) != 0))) ++fraction;
  if (fraction >= static_cast<std::uint64_t>(kPowerOfTen)) {
    fraction = 0;
    ++whole;
  }
  std::string text = std::to_string(whole) + ".";
  if (fraction == 0) return text + "0";
  std::string digits = std::to_string(fraction);
  text.append(kPrecision - digits.size(), '0');
  while (digits.back() == '0') digits.pop_back();
  return text + digits;
}

}  // namespace

double json_float(double number) {
  const double magnitude = std::fabs(number);
  std::string text;
  if (magnitude > kFixedMax || (magnitude != 0.0 && magnitude < kFixedMin)) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*g", kPrecision, number);
    text = buffer;
  } else {
    text = (number < 0 ? "-" : "") + fixed_text(magnitude);
  }
  const double read_back = std::strtod(text.c_str(), nullptr);
  // Ten significant digits of the largest doubles read back as infinity, which JSON cannot
  // hold; such a number keeps its own value.
  return std::isinf(read_back) ? number : read_back;
}

}  // namespace platform::dataframe::internal
