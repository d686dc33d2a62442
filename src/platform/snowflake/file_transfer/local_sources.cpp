#include "platform/snowflake/file_transfer/local_sources.hpp"

#include <algorithm>

#include "platform/snowflake/snowflake_error.hpp"

namespace platform::snowflake::file_transfer {
namespace {

namespace fs = std::filesystem;

[[noreturn]] void no_file(const std::string& location, const std::string& why) {
  throw SnowflakeError::connector_failure("PUT found no file to upload for " + location + ": " +
                                          why);
}

}  // namespace

bool matches_wildcard(std::string_view pattern, std::string_view name) {
  // Iterative matching with one backtrack point: linear in practice, no recursion.
  size_t p = 0, n = 0, star = std::string_view::npos, resume = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n])) {
      ++p;
      ++n;
    } else if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      resume = n;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      n = ++resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

std::vector<SourceFile> expand_sources(const std::string& location) {
  const fs::path given(location);
  const std::string pattern = given.filename().string();
  fs::path directory = given.parent_path();
  if (directory.empty()) directory = ".";
  std::error_code error;
  if (!fs::is_directory(directory, error)) no_file(location, "its directory does not exist");

  std::vector<SourceFile> files;
  const auto add = [&files](const fs::directory_entry& entry) {
    files.push_back({entry.path(), entry.path().filename().string(), entry.file_size()});
  };
  if (pattern.find_first_of("*?") == std::string::npos) {
    const fs::directory_entry entry(given, error);
    if (error || !entry.is_regular_file()) no_file(location, "the file does not exist");
    add(entry);
    return files;
  }
  for (const fs::directory_entry& entry : fs::directory_iterator(directory, error)) {
    const std::string name = entry.path().filename().string();
    const bool hidden_by_wildcard = name.starts_with('.') && !pattern.starts_with('.');
    if (!hidden_by_wildcard && entry.is_regular_file() && matches_wildcard(pattern, name)) {
      add(entry);
    }
  }
  if (error) no_file(location, error.message());
  if (files.empty()) no_file(location, "no file matches");
  std::sort(files.begin(), files.end(),
            [](const SourceFile& a, const SourceFile& b) { return a.name < b.name; });
  return files;
}

}  // namespace platform::snowflake::file_transfer
