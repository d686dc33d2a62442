// gzip compression for result chunks, and decompression of request bodies sent gzip-compressed.
//
//   std::string packed = fakes::warehouse::gzip_compress("[\"1\"]");
//   auto unpacked = fakes::warehouse::gzip_decompress(packed);  // "[\"1\"]"
//
// Thread-safe. Compression throws std::runtime_error only when zlib fails.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace fakes::warehouse {

std::string gzip_compress(std::string_view data);

// The inflated data; nullopt when `data` is not a complete gzip stream.
std::optional<std::string> gzip_decompress(std::string_view data);

// Whether `data` starts with the gzip magic bytes.
bool looks_gzipped(std::string_view data);

}  // namespace fakes::warehouse
