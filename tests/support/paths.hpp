// Where a test finds the source tree, the build tree and a scratch directory of its own.
#pragma once

#include <filesystem>
#include <string>

namespace osa_test {

// The source root (tests run from it; OSA_SOURCE_DIR when set).
std::filesystem::path source_dir();
// The build tree that holds bin/ and python/ (OSA_BUILD_DIR when set).
std::filesystem::path build_dir();
// A fresh empty directory, removed when the returned object goes away.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// Runs a shell command, feeding `input` on stdin; returns its stdout. Fails the test (by
// throwing std::runtime_error) when the command exits non-zero.
std::string run_command(const std::string& command, const std::string& input = "");

}  // namespace osa_test
