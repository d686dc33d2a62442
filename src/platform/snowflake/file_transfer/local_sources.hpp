// The local files a PUT's source location names: one path, or a directory and a file name with
// "*" (any run of characters) and "?" (one character) wildcards.
//
//   expand_sources("/data/orders_*.csv");   // every match in /data, sorted by name
//
// A leading wildcard does not match a name starting with "." (hidden files stay home), and only
// regular files match. Throws platform::snowflake::SnowflakeError naming the location when its
// directory is missing or nothing matches, so an upload of nothing never counts as done.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace platform::snowflake::file_transfer {

struct SourceFile {
  std::filesystem::path path;
  std::string name;  // the file name alone, as the stage will know it before compression
  std::uintmax_t size = 0;
};

std::vector<SourceFile> expand_sources(const std::string& location);

// Whether `name` matches `pattern` with "*" and "?" wildcards.
bool matches_wildcard(std::string_view pattern, std::string_view name);

}  // namespace platform::snowflake::file_transfer
