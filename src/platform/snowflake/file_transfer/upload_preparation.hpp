// Turns a local file into the bytes a stage receives: compressed as the PUT asks, named as the
// stage will list it, with the SHA-256 digest the stage keeps beside it.
//
//   PreparedFile file = prepare_upload(source, {.auto_compress = true,
//                                               .source_compression = "auto_detect"});
//   file.target;          // "orders.csv.gz"
//   file.bytes;           // the gzip stream (or the file as it was, when already compressed)
//   file.digest;          // base64 of SHA-256 over `bytes`
//
// Compression by `source_compression`: "auto_detect" recognises gzip, bzip2, brotli, zstd,
// deflate, raw deflate, parquet and orc by file name or leading bytes and sends those as they
// are; "none" treats the file as uncompressed; any other name declares the file's compression.
// An uncompressed file is gzip-compressed (".gz" appended) when `auto_compress` is set.
// Throws platform::snowflake::SnowflakeError naming the file for an unreadable file or a
// compression the stage cannot take (xz, lzma, lzip, lzo, compress).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/snowflake/file_transfer/local_sources.hpp"

namespace platform::snowflake::file_transfer {

struct CompressionRequest {
  bool auto_compress = true;
  std::string source_compression = "auto_detect";
};

struct PreparedFile {
  std::string source;  // the source file's name
  std::string target;  // the name on the stage
  std::uintmax_t source_size = 0;
  std::string source_compression;  // "NONE", "GZIP", "BZIP2", ...
  std::string target_compression;
  std::string bytes;
  std::string digest;
};

PreparedFile prepare_upload(const SourceFile& source, const CompressionRequest& request);

// A gzip stream of `data` with no time stamp or name in its header, so the same input always
// gives the same bytes (and digest).
std::string gzip_compress(std::string_view data);

// Standard base64 of the SHA-256 of `data`.
std::string sha256_base64(std::string_view data);

}  // namespace platform::snowflake::file_transfer
