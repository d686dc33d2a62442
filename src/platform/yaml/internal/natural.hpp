// A non-negative integer of any size, just enough to read YAML integers beyond 64 bits.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform::yaml::internal {

class Natural {
 public:
  // *this = *this * factor + addend.
  void multiply_add(std::uint32_t factor, std::uint32_t addend);
  void add(const Natural& other);
  // The value when it is at most `limit`.
  std::optional<std::uint64_t> to_u64(std::uint64_t limit) const;
  std::string decimal() const;

 private:
  static constexpr std::uint32_t kBase = 1000000000;  // limbs of nine decimal digits
  std::vector<std::uint32_t> limbs_;                  // least significant first
};

}  // namespace platform::yaml::internal
