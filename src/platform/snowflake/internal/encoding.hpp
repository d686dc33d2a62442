// Small encodings the protocol needs: base64 (standard and URL-safe), URL encoding, gzip.
#pragma once

#include <string>
#include <string_view>

namespace platform::snowflake::internal {

std::string base64(std::string_view bytes);
// URL-safe alphabet without padding, as JWTs use it.
std::string base64url(std::string_view bytes);
// Percent-encodes a URL query value.
std::string url_encode(std::string_view text);
// The text inflated when it starts with the gzip magic bytes; otherwise unchanged. Throws
// SnowflakeError for damaged gzip data.
std::string gunzip_if_compressed(std::string text);

}  // namespace platform::snowflake::internal
