// Any chunk body either fails with SnowflakeError or platform::ValueError, or decodes to a JSON
// array within the limit; a body decodes the same gzip-compressed as plain.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/errors/errors.hpp"
#include "platform/snowflake/internal/chunk_download.hpp"
#include "platform/snowflake/snowflake_error.hpp"
#include "tests/fakes/snowflake/gzip.hpp"

namespace {

// Small enough that inflating past it is cheap to reach.
constexpr std::size_t kLimit = 64 * 1024;

// The decoded rows' text, or "!" when the body is refused.
std::string decoded(const std::string& body) {
  try {
    const nlohmann::json rows = platform::snowflake::internal::decode_chunk_rows(body, kLimit);
    if (!rows.is_array()) std::abort();
    return rows.dump();
  } catch (const platform::snowflake::SnowflakeError&) {
  } catch (const platform::ValueError&) {
  }
  return "!";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  // The first byte chooses: the rest as the body (random gzip included), or the rest compressed.
  const std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
  if (data[0] % 2 == 0) {
    decoded(rest);
  } else if (rest.size() >= 2 && static_cast<unsigned char>(rest[0]) != 0x1f) {
    if (decoded(fakes::warehouse::gzip_compress(rest)) != decoded(rest)) std::abort();
  }
  return 0;
}
