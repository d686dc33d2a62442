#include "orvane_semantic_agent/cortex_analyst_mcp/model_file_reader.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/errors/errors.hpp"
#include "platform/yaml/yaml.hpp"

namespace orvane_semantic_agent::cortex_analyst_mcp {

namespace {

[[noreturn]] void fail_to_read(const std::string& path, const std::string& reason) {
  throw platform::RuntimeError("Cannot read the semantic model file " + path + ": " + reason);
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
  // O_NONBLOCK: opening a FIFO that no one writes would otherwise wait for a writer.
  const int opened = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (opened < 0) fail_to_read(path, std::strerror(errno));
  const FileDescriptor file(opened);
  struct stat status {};
  if (::fstat(file.get(), &status) != 0) fail_to_read(path, std::strerror(errno));
  if (S_ISDIR(status.st_mode)) fail_to_read(path, std::strerror(EISDIR));
  if (!S_ISREG(status.st_mode)) fail_to_read(path, "not a regular file");

  constexpr std::size_t kLimit = platform::yaml::kMaxTextBytes;
  const auto too_large = [&] {
    fail_to_read(path, "larger than the limit of " + std::to_string(kLimit) + " bytes");
  };
  if (static_cast<std::size_t>(status.st_size) > kLimit) too_large();
  std::string text;
  char buffer[1 << 16];
  for (;;) {
    const ssize_t got = ::read(file.get(), buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) fail_to_read(path, std::strerror(errno));
    if (got == 0) return text;
    // The file may grow while it is read.
    if (text.size() + static_cast<std::size_t>(got) > kLimit) too_large();
    text.append(buffer, static_cast<std::size_t>(got));
  }
}

}  // namespace orvane_semantic_agent::cortex_analyst_mcp
