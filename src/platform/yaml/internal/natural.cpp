#include "platform/yaml/internal/natural.hpp"

#include <cstdio>

namespace platform::yaml::internal {

void Natural::multiply_add(std::uint32_t factor, std::uint32_t addend) {
  std::uint64_t carry = addend;
  for (auto& limb : limbs_) {
    const std::uint64_t product = static_cast<std::uint64_t>(limb) * factor + carry;
    limb = static_cast<std::uint32_t>(product % kBase);
    carry = product / kBase;
  }
  while (carry != 0) {
    limbs_.push_back(static_cast<std::uint32_t>(carry % kBase));
    carry /= kBase;
  }
}

void Natural::add(const Natural& other) {
  if (limbs_.size() < other.limbs_.size()) limbs_.resize(other.limbs_.size(), 0);
  std::uint64_t carry = 0;
  for (std::size_t i = 0; i < limbs_.size(); ++i) {
    const std::uint64_t sum = carry + limbs_[i] + (i < other.limbs_.size() ? other.limbs_[i] : 0);
    limbs_[i] = static_cast<std::uint32_t>(sum % kBase);
    carry = sum / kBase;
  }
  if (carry != 0) limbs_.push_back(static_cast<std::uint32_t>(carry));
}

std::optional<std::uint64_t> Natural::to_u64(std::uint64_t limit) const {
  unsigned __int128 value = 0;
  for (auto it = limbs_.rbegin(); it != limbs_.rend(); ++it) {
    value = value * kBase + *it;
    if (value > limit) return std::nullopt;
  }
  return static_cast<std::uint64_t>(value);
}

std::string Natural::decimal() const {
  if (limbs_.empty()) return "0";
  std::string text = std::to_string(limbs_.back());
  char chunk[16];
  for (auto it = limbs_.rbegin() + 1; it != limbs_.rend(); ++it) {
    std::snprintf(chunk, sizeof chunk, "%09u", static_cast<unsigned>(*it));
    text += chunk;
  }
  return text;
}

}  // namespace platform::yaml::internal
