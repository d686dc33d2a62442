// Inflating gzip answers within a size limit.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace platform::snowflake::internal {

// The text inflated when it starts with the gzip magic bytes; otherwise unchanged. Throws
// SnowflakeError for damaged gzip data, and for a text that is or inflates to more than
// `max_bytes`, so that a gzip bomb cannot exhaust memory.
std::string gunzip_if_compressed(std::string text, std::size_t max_bytes);

}  // namespace platform::snowflake::internal
