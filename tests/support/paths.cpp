#include "tests/support/paths.hpp"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

namespace osa_test {

namespace fs = std::filesystem;

fs::path source_dir() {
  const char* dir = std::getenv("OSA_SOURCE_DIR");
  return dir != nullptr ? fs::path(dir) : fs::current_path();
}

fs::path build_dir() {
  const char* dir = std::getenv("OSA_BUILD_DIR");
  return dir != nullptr ? fs::path(dir) : source_dir() / "build";
}

ScratchDir::ScratchDir() {
  std::string pattern = (fs::temp_directory_path() / "osa_test_XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

std::string run_command(const std::string& command, const std::string& input) {
  ScratchDir scratch;
  const fs::path input_file = scratch.path() / "stdin";
  std::ofstream(input_file, std::ios::binary) << input;
  const std::string full = command + " < '" + input_file.string() + "'";
  FILE* pipe = popen(full.c_str(), "r");
  if (pipe == nullptr) throw std::runtime_error("cannot run: " + command);
  std::string output;
  char buffer[65536];
  size_t read = 0;
  while ((read = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, read);
  const int status = pclose(pipe);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    throw std::runtime_error("command failed (" + std::to_string(status) + "): " + command);
  }
  return output;
}

}  // namespace osa_test
