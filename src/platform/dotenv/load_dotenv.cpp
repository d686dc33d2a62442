#include "platform/dotenv/load_dotenv.hpp"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>

#include "platform/dotenv/dotenv_parser.hpp"
#include "platform/errors/errors.hpp"
#include "platform/log/log.hpp"

namespace platform::dotenv {
namespace {

std::optional<std::string> process_variable(const std::string& name) {
  if (const char* value = std::getenv(name.c_str())) return std::string(value);
  return std::nullopt;
}

std::string read_file(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  if (file) text << file.rdbuf();
  if (!file || file.bad()) {
    throw RuntimeError("Cannot read " + path.string() + ": " + std::strerror(errno));
  }
  return text.str();
}

void warn_about_bad_lines(const std::filesystem::path& path, const std::vector<int>& lines) {
  std::string numbers;
  for (const int line : lines) numbers += (numbers.empty() ? "" : ", ") + std::to_string(line);
  platform::log::warning("Skipped the statements of {} that could not be parsed, at line{} {}",
                         path.string(), lines.size() == 1 ? "" : "s", numbers);
}

}  // namespace

std::optional<std::filesystem::path> find_dotenv(const std::filesystem::path& start_directory) {
  std::error_code error;
  std::filesystem::path directory = std::filesystem::absolute(start_directory, error);
  if (error) return std::nullopt;
  while (true) {
    const std::filesystem::path candidate = directory / ".env";
    if (std::filesystem::is_regular_file(candidate, error)) return candidate;
    if (directory == directory.parent_path()) return std::nullopt;
    directory = directory.parent_path();
  }
}

bool load_dotenv() {
  std::error_code error;
  const std::filesystem::path working_directory = std::filesystem::current_path(error);
  return !error && load_dotenv(working_directory);
}

bool load_dotenv(const std::filesystem::path& start_directory) {
  const auto path = find_dotenv(start_directory);
  if (!path) return false;
  const ParsedDotenv parsed = parse_dotenv(read_file(*path), process_variable);
  if (!parsed.bad_lines.empty()) warn_about_bad_lines(*path, parsed.bad_lines);
  // The last entry of a name counts; a variable set before loading keeps its value.
  std::map<std::string, std::string> last_values;
  for (const auto& entry : parsed.entries) last_values[entry.name] = entry.value;
  for (const auto& [name, value] : last_values) {
    ::setenv(name.c_str(), value.c_str(), /*overwrite=*/0);
  }
  return true;
}

}  // namespace platform::dotenv
