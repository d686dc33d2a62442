#include "platform/text/base64.hpp"

namespace platform::text {
namespace {

std::string encode(std::string_view bytes, const char (&alphabet)[65], bool pad) {
  std::string out;
  out.reserve(4 * ((bytes.size() + 2) / 3));
  const auto byte = [&](std::size_t i) {
    return static_cast<unsigned>(static_cast<unsigned char>(bytes[i]));
  };
  std::size_t i = 0;
  for (; i + 2 < bytes.size(); i += 3) {
    const unsigned n = byte(i) << 16 | byte(i + 1) << 8 | byte(i + 2);
    for (int shift = 18; shift >= 0; shift -= 6) out += alphabet[(n >> shift) & 63];
  }
  const std::size_t rest = bytes.size() - i;
  if (rest == 0) return out;
  const unsigned n = byte(i) << 16 | (rest == 2 ? byte(i + 1) << 8 : 0);
  out += alphabet[(n >> 18) & 63];
  out += alphabet[(n >> 12) & 63];
  if (rest == 2) out += alphabet[(n >> 6) & 63];
  if (pad) out.append(3 - rest, '=');
  return out;
}

}  // namespace

std::string base64(std::string_view bytes) {
  return encode(bytes, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/", true);
}

std::string base64url(std::string_view bytes) {
  return encode(bytes, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_", false);
}

}  // namespace platform::text
