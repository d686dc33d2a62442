#include "platform/uuid/uuid.hpp"

#include <fmt/format.h>
#include <openssl/rand.h>

#include <array>

#include "platform/errors/errors.hpp"

namespace platform::uuid {

std::string uuid4() {
  std::array<unsigned char, 16> bytes{};
  if (RAND_bytes(bytes.data(), static_cast<int>(bytes.size())) != 1) {
    throw RuntimeError("Could not gather random bytes for a UUID");
  }
  bytes[6] = static_cast<unsigned char>((bytes[6] & 0x0F) | 0x40);
  bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3F) | 0x80);
  std::string text;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) text += '-';
    text += fmt::format("{:02x}", bytes[i]);
  }
  return text;
}

}  // namespace platform::uuid
