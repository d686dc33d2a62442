#include "orvane_semantic_agent/cortex_analyst_mcp/model_file_reader.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/errors/errors.hpp"
#include "platform/yaml/yaml.hpp"

namespace orvane_semantic_agent::cortex_analyst_mcp {
namespace {

constexpr std::size_t kLimit = platform::yaml::kMaxTextBytes;

[[noreturn]] void fail_to_read(const std::string& path, const std::string& reason) {
  throw platform::RuntimeError("Cannot read the semantic model file " + path + ": " + reason);
}

[[noreturn]] void fail_to_read(const std::string& path, int error_number) {
  fail_to_read(path, std::strerror(error_number));
}

[[noreturn]] void fail_too_large(const std::string& path) {
  fail_to_read(path, "larger than the limit of " + std::to_string(kLimit) + " bytes");
}

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() { ::close(fd_); }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

}  // namespace

// Plain reads, so that the system's reason reaches the agent: a stream would read a directory
// as an empty text and report a model that is no model.
std::string read_model_file(const std::string& path) {
  // Without O_NONBLOCK, opening a FIFO waits for a writer; for a regular file it changes nothing.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) fail_to_read(path, errno);
  const FileDescriptor file(fd);
  struct stat status {};
  if (::fstat(fd, &status) != 0) fail_to_read(path, errno);
  if (S_ISDIR(status.st_mode)) fail_to_read(path, EISDIR);
  if (!S_ISREG(status.st_mode)) fail_to_read(path, "not a regular file");
  if (static_cast<std::size_t>(status.st_size) > kLimit) fail_too_large(path);

  std::string text;
  text.reserve(static_cast<std::size_t>(status.st_size));
  char buffer[1 << 16];
  // One byte past the limit tells a file that grew while it was read.
  while (text.size() <= kLimit) {
    const std::size_t wanted = std::min(sizeof buffer, kLimit + 1 - text.size());
    const ssize_t got = ::read(fd, buffer, wanted);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) fail_to_read(path, errno);
    if (got == 0) return text;
    text.append(buffer, static_cast<std::size_t>(got));
  }
  fail_too_large(path);
}

}  // namespace orvane_semantic_agent::cortex_analyst_mcp
