// A private directory that lives exactly as long as its owner.
//
//   TemporaryDirectory directory("orvane_semantic_agent");   // /tmp/orvane_semantic_agentk3Xz9Q
//   write_into(directory.path());
//   directory.cleanup();   // or when the object goes away
//
// The directory is created in the system's temporary location ($TMPDIR, else /tmp), readable
// only by its owner (mode 0700), named by the prefix followed directly by random characters.
#pragma once

#include <filesystem>
#include <string>

namespace orvane_semantic_agent::cortex_analyst_mcp {

class TemporaryDirectory {
 public:
  // Throws platform::RuntimeError naming the path when the directory cannot be created.
  explicit TemporaryDirectory(const std::string& prefix);
  // Deletes the directory if `cleanup` has not; a failure is logged, never thrown.
  ~TemporaryDirectory();
  TemporaryDirectory(const TemporaryDirectory&) = delete;
  TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;

  const std::filesystem::path& path() const { return path_; }

  // Deletes the directory with everything in it; later calls do nothing. Throws
  // platform::RuntimeError when it cannot be deleted.
  void cleanup();

 private:
  std::filesystem::path path_;
  bool deleted_ = false;
};

}  // namespace orvane_semantic_agent::cortex_analyst_mcp
