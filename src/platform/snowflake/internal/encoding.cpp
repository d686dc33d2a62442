#include "platform/snowflake/internal/encoding.hpp"

#include <openssl/evp.h>
#include <zlib.h>

#include <array>
#include <cctype>
#include <cstdint>

#include <fmt/format.h>

#include "platform/snowflake/snowflake_error.hpp"

namespace platform::snowflake::internal {

std::string gunzip_if_compressed(std::string text, std::size_t max_bytes) {
  const auto too_large = [max_bytes] {
    return SnowflakeError::malformed_answer(
        fmt::format("A result chunk holds more than {} bytes, its limit (the "
                    "announced size and slack)",
                    max_bytes));
  };
  if (text.size() < 2 || static_cast<unsigned char>(text[0]) != 0x1f ||
      static_cast<unsigned char>(text[1]) != 0x8b) {
    if (text.size() > max_bytes) throw too_large();
    return text;
  }
  z_stream stream{};
  // 16 + MAX_WBITS: expect a gzip header and trailer.
  if (inflateInit2(&stream, 16 + MAX_WBITS) != Z_OK) {
    throw SnowflakeError::connector_failure("Could not start decompressing a result chunk");
  }
  std::string output;
  std::array<char, 64 * 1024> buffer{};
  stream.next_in = reinterpret_cast<Bytef*>(text.data());
  stream.avail_in = static_cast<uInt>(text.size());
  int status = Z_OK;
  while (status != Z_STREAM_END) {
    stream.next_out = reinterpret_cast<Bytef*>(buffer.data());
    stream.avail_out = static_cast<uInt>(buffer.size());
    status = inflate(&stream, Z_NO_FLUSH);
    if (status != Z_OK && status != Z_STREAM_END) {
      inflateEnd(&stream);
      throw SnowflakeError::malformed_answer("A result chunk holds damaged gzip data");
    }
    const std::size_t produced = buffer.size() - stream.avail_out;
    if (produced > max_bytes - output.size()) {
      inflateEnd(&stream);
      throw too_large();
    }
    output.append(buffer.data(), produced);
    // Several gzip members follow one another: start over on the next one.
    if (status == Z_STREAM_END && stream.avail_in > 0) {
      inflateReset(&stream);
      status = Z_OK;
    }
  }
  inflateEnd(&stream);
  return output;
}

}  // namespace platform::snowflake::internal
