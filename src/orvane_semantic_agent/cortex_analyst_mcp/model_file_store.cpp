#include "orvane_semantic_agent/cortex_analyst_mcp/model_file_store.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>

#include "platform/errors/errors.hpp"
#include "platform/log/log.hpp"
#include "platform/uuid/uuid.hpp"

namespace orvane_semantic_agent::cortex_analyst_mcp {
namespace {

[[noreturn]] void fail_to_write(const std::filesystem::path& path, int error_number) {
  throw platform::RuntimeError("Cannot write the semantic model file " + path.string() + ": " +
                               std::strerror(error_number));
}

void write_file(const std::filesystem::path& path, std::string_view text) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) fail_to_write(path, errno);
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t written = ::write(fd, text.data() + done, text.size() - done);
    if (written < 0 && errno == EINTR) continue;
    if (written < 0) {
      const int error_number = errno;
      ::close(fd);
      ::unlink(path.c_str());
      fail_to_write(path, error_number);
    }
    done += static_cast<std::size_t>(written);
  }
  if (::close(fd) != 0) {
    const int error_number = errno;
    ::unlink(path.c_str());
    fail_to_write(path, error_number);
  }
}

}  // namespace

ModelFileStore::ModelFileStore(std::filesystem::path directory, std::size_t keep)
    : directory_(std::move(directory)), keep_(keep) {}

std::string ModelFileStore::file_name_for(std::string_view request_id) {
  std::string name = "semantic_model_" + std::string(request_id) + ".yml";
  std::replace(name.begin(), name.end(), '-', '_');
  return name;
}

std::filesystem::path ModelFileStore::write(std::string_view yaml_text) {
  const std::filesystem::path path = directory_ / file_name_for(platform::uuid::uuid4());
  write_file(path, yaml_text);

  std::lock_guard lock(mutex_);
  written_.push_back(path);
  while (written_.size() > keep_) {
    std::error_code error;
    std::filesystem::remove(written_.front(), error);
    if (error) {
      platform::log::warning("Cannot remove the old semantic model file {}: {}",
                             written_.front().string(), error.message());
    }
    written_.pop_front();
  }
  return path;
}

}  // namespace orvane_semantic_agent::cortex_analyst_mcp
