// Small encodings the protocol needs: base64 (standard and URL-safe), URL encoding, gzip.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace platform::snowflake::internal {

std::string base64(std::string_view bytes);
// URL-safe alphabet without padding, as JWTs use it.
std::string base64url(std::string_view bytes);
// Percent-encodes a URL query value.
std::string url_encode(std::string_view text);
// The text inflated when it starts with the gzip magic bytes; otherwise unchanged. Throws
// SnowflakeError for damaged gzip data, and for a text that is or inflates to more than
// `max_bytes`, so that a gzip bomb cannot exhaust memory.
std::string gunzip_if_compressed(std::string text, std::size_t max_bytes);

}  // namespace platform::snowflake::internal
