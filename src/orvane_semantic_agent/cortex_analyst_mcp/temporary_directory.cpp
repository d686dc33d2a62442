#include "orvane_semantic_agent/cortex_analyst_mcp/temporary_directory.hpp"

#include <stdlib.h>

#include <cerrno>
#include <cstring>
#include <system_error>

#include "platform/errors/errors.hpp"
#include "platform/log/log.hpp"

namespace orvane_semantic_agent::cortex_analyst_mcp {

TemporaryDirectory::TemporaryDirectory(const std::string& prefix) {
  std::error_code error;
  const std::filesystem::path base = std::filesystem::temp_directory_path(error);
  if (error) throw platform::RuntimeError("No temporary directory: " + error.message());
  // mkdtemp creates the directory with mode 0700.
  std::string pattern = (base / (prefix + "XXXXXX")).string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    throw platform::RuntimeError("Cannot create a temporary directory in " + base.string() + ": " +
                                 std::strerror(errno));
  }
  path_ = pattern;
}

TemporaryDirectory::~TemporaryDirectory() {
  try {
    cleanup();
  } catch (const std::exception& failure) {
    platform::log::error("{}", failure.what());
  }
}

void TemporaryDirectory::cleanup() {
  if (deleted_) return;
  std::error_code error;
  std::filesystem::remove_all(path_, error);
  if (error) {
    throw platform::RuntimeError("Cannot delete the temporary directory " + path_.string() + ": " +
                                 error.message());
  }
  deleted_ = true;
}

}  // namespace orvane_semantic_agent::cortex_analyst_mcp
