#include "tests/fakes/snowflake/gzip.hpp"

#include <zlib.h>

#include <stdexcept>

namespace fakes::warehouse {
namespace {

constexpr int kGzipWindowBits = 15 + 16;

Bytef* input_bytes(std::string_view data) {
  return reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
}

}  // namespace

std::string gzip_compress(std::string_view data) {
  z_stream stream{};
  if (deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, kGzipWindowBits, 8,
                   Z_DEFAULT_STRATEGY) != Z_OK) {
    throw std::runtime_error("zlib cannot start compressing");
  }
  std::string output(deflateBound(&stream, static_cast<uLong>(data.size())) + 32, '\0');
  stream.next_in = input_bytes(data);
  stream.avail_in = static_cast<uInt>(data.size());
  stream.next_out = reinterpret_cast<Bytef*>(output.data());
  stream.avail_out = static_cast<uInt>(output.size());
  const int status = deflate(&stream, Z_FINISH);
  output.resize(stream.total_out);
  deflateEnd(&stream);
  if (status != Z_STREAM_END) throw std::runtime_error("zlib cannot compress a chunk");
  return output;
}

std::optional<std::string> gzip_decompress(std::string_view data) {
  z_stream stream{};
  if (inflateInit2(&stream, kGzipWindowBits) != Z_OK) return std::nullopt;
  stream.next_in = input_bytes(data);
  stream.avail_in = static_cast<uInt>(data.size());
  std::string output;
  char buffer[16384];
  int status = Z_OK;
  while (status == Z_OK) {
    stream.next_out = reinterpret_cast<Bytef*>(buffer);
    stream.avail_out = sizeof buffer;
    status = inflate(&stream, Z_NO_FLUSH);
    output.append(buffer, sizeof buffer - stream.avail_out);
  }
  inflateEnd(&stream);
  if (status != Z_STREAM_END) return std::nullopt;
  return output;
}

bool looks_gzipped(std::string_view data) {
  return data.size() >= 2 && static_cast<unsigned char>(data[0]) == 0x1f &&
         static_cast<unsigned char>(data[1]) == 0x8b;
}

}  // namespace fakes::warehouse
