#include "platform/snowflake/file_transfer/local_storage.hpp"

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "platform/snowflake/internal/encoding.hpp"
#include "platform/snowflake/snowflake_error.hpp"
#include "platform/uuid/uuid.hpp"

namespace platform::snowflake::file_transfer {
namespace {

namespace fs = std::filesystem;

fs::path expand_home(const std::string& location) {
  const char* home = std::getenv("HOME");
  if (home != nullptr && (location == "~" || location.starts_with("~/"))) {
    return fs::path(home) / location.substr(std::min<size_t>(2, location.size()));
  }
  return location;
}

class LocalStorage : public StageStorage {
 public:
  explicit LocalStorage(fs::path directory) : directory_(std::move(directory)) {}

  std::optional<std::string> existing_digest(const std::string& target) override {
    std::ifstream file(directory_ / target, std::ios::binary);
    if (!file) return std::nullopt;
    const std::string bytes((std::istreambuf_iterator<char>(file)),
                            std::istreambuf_iterator<char>());
    return sha256_base64(bytes);
  }

  void upload(const StageUpload& upload) override {
    std::error_code error;
    fs::create_directories(directory_, error);
    if (error) fail(upload, "the stage directory cannot be created: " + error.message());
    // Written beside the target and renamed, so a failed copy never leaves half a file.
    const fs::path target = directory_ / upload.file.target;
    const fs::path partial =
        directory_ / ("." + upload.file.target + "." + platform::uuid::uuid4());
    {
      std::ofstream out(partial, std::ios::binary | std::ios::trunc);
      out.write(upload.body.data(), static_cast<std::streamsize>(upload.body.size()));
      out.close();
      if (!out) {
        fs::remove(partial, error);
        fail(upload, "the stage file cannot be written");
      }
    }
    fs::rename(partial, target, error);
    if (error) {
      fs::remove(partial, error);
      fail(upload, "the stage file cannot be written");
    }
  }

  bool encrypts() const override { return false; }

 private:
  [[noreturn]] void fail(const StageUpload& upload, const std::string& why) const {
    throw SnowflakeError::connector_failure("Writing " + upload.file.target + " to " +
                                            directory_.string() + " failed: " + why);
  }

  fs::path directory_;
};

}  // namespace

std::unique_ptr<StageStorage> make_local_storage(const StageInfo& stage) {
  return std::make_unique<LocalStorage>(expand_home(stage.location));
}

}  // namespace platform::snowflake::file_transfer
