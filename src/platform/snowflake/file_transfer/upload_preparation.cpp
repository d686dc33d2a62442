#include "platform/snowflake/file_transfer/upload_preparation.hpp"

#include <openssl/sha.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <fstream>
#include <iterator>
#include <optional>

#include "platform/snowflake/snowflake_error.hpp"
#include "platform/text/ascii_case.hpp"
#include "platform/text/base64.hpp"

namespace platform::snowflake::file_transfer {
namespace {

struct CompressionType {
  std::string_view name;
  std::string_view extension;
  bool supported;
};

constexpr std::array<CompressionType, 13> kCompressionTypes{{
    {"GZIP", ".gz", true},
    {"DEFLATE", ".deflate", true},
    {"RAW_DEFLATE", ".raw_deflate", true},
    {"BZIP2", ".bz2", true},
    {"BROTLI", ".br", true},
    {"ZSTD", ".zst", true},
    {"PARQUET", ".parquet", true},
    {"ORC", ".orc", true},
    {"LZIP", ".lz", false},
    {"LZMA", ".lzma", false},
    {"LZO", ".lzo", false},
    {"XZ", ".xz", false},
    {"COMPRESS", ".Z", false},
}};

const CompressionType* type_named(std::string_view name) {
  const std::string wanted = text::to_ascii_upper(name);
  for (const CompressionType& type : kCompressionTypes) {
    if (type.name == wanted) return &type;
  }
  return nullptr;
}

// The compression a file already has, by name first, then by its leading bytes.
const CompressionType* detect(const std::string& name, std::string_view bytes) {
  for (const CompressionType& type : kCompressionTypes) {
    if (name.size() > type.extension.size() && name.ends_with(type.extension)) return &type;
  }
  if (name.ends_with(".gzip")) return type_named("GZIP");
  if (bytes.starts_with("\x1f\x8b")) return type_named("GZIP");
  if (bytes.starts_with("BZh")) return type_named("BZIP2");
  if (bytes.starts_with("\x28\xb5\x2f\xfd")) return type_named("ZSTD");
  if (bytes.starts_with("PAR1")) return type_named("PARQUET");
  if (bytes.starts_with("ORC")) return type_named("ORC");
  return nullptr;
}

[[noreturn]] void fail(const SourceFile& source, const std::string& why) {
  throw SnowflakeError::connector_failure("PUT of " + source.path.string() + " failed: " + why);
}

std::string read_file(const SourceFile& source) {
  std::ifstream file(source.path, std::ios::binary);
  if (!file) fail(source, "the file cannot be read");
  std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (file.bad()) fail(source, "the file cannot be read");
  return bytes;
}

}  // namespace

std::string gzip_compress(std::string_view data) {
  z_stream stream{};
  // 15 window bits plus 16: a gzip header, which zlib writes with a zero time stamp.
  if (deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) !=
      Z_OK) {
    throw SnowflakeError::connector_failure("gzip compression cannot start");
  }
  std::string out(deflateBound(&stream, static_cast<uLong>(data.size())), '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  stream.avail_in = static_cast<uInt>(data.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  const int status = deflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  if (status != Z_STREAM_END) throw SnowflakeError::connector_failure("gzip compression failed");
  return out;
}

std::string sha256_base64(std::string_view data) {
  std::array<unsigned char, SHA256_DIGEST_LENGTH> digest{};
  SHA256(reinterpret_cast<const unsigned char*>(data.data()), data.size(), digest.data());
  return text::base64(
      std::string_view(reinterpret_cast<const char*>(digest.data()), digest.size()));
}

PreparedFile prepare_upload(const SourceFile& source, const CompressionRequest& request) {
  PreparedFile file{.source = source.name, .target = source.name};
  std::string bytes = read_file(source);
  file.source_size = bytes.size();

  const CompressionType* compression = nullptr;
  const std::string declared = text::to_ascii_upper(request.source_compression);
  if (declared == "AUTO_DETECT") {
    compression = detect(source.name, bytes);
  } else if (declared != "NONE") {
    compression = type_named(declared);
    if (compression == nullptr)
      fail(source, request.source_compression + " is not a compression type");
  }
  if (compression != nullptr && !compression->supported) {
    fail(source, std::string(compression->name) + " is not a supported compression type");
  }

  if (compression != nullptr) {
    file.source_compression = file.target_compression = std::string(compression->name);
    file.bytes = std::move(bytes);
  } else if (request.auto_compress) {
    file.source_compression = "NONE";
    file.target_compression = "GZIP";
    file.target += ".gz";
    file.bytes = gzip_compress(bytes);
  } else {
    file.source_compression = file.target_compression = "NONE";
    file.bytes = std::move(bytes);
  }
  file.digest = sha256_base64(file.bytes);
  return file;
}

}  // namespace platform::snowflake::file_transfer
