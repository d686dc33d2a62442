// Where a PUT's files go: one client per stage location type, all behind one small interface.
//
//   auto storage = make_stage_storage(put.stage_info, {.request_timeout = 90s});
//   if (auto digest = storage->existing_digest("a.csv.gz"); digest && *digest == file.digest) ...
//   storage->upload({.file = file, .body = bytes, .encryption = envelope});
//
// Object stores are reached through platform::http with retries of transient failures
// (connection errors, 408, 429, 5xx). A store's answer that the stage credentials have expired
// throws CredentialsExpired, so the caller can ask the warehouse for fresh ones; every other
// refusal throws platform::snowflake::SnowflakeError with the store's status and error code,
// never a credential.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

#include "platform/snowflake/file_transfer/file_encryption.hpp"
#include "platform/snowflake/file_transfer/put_instructions.hpp"
#include "platform/snowflake/file_transfer/upload_preparation.hpp"

namespace platform::snowflake::file_transfer {

struct StageUpload {
  const PreparedFile& file;
  std::string_view body;  // the bytes to send: `file.bytes`, encrypted when the stage asks
  std::optional<EncryptionEnvelope> encryption;
};

class CredentialsExpired : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class StageStorage {
 public:
  virtual ~StageStorage() = default;
  // The digest kept for `target`: nullopt when the stage has no such file, "" when it has one
  // without a digest.
  virtual std::optional<std::string> existing_digest(const std::string& target) = 0;
  virtual void upload(const StageUpload& upload) = 0;
  // Whether uploads to this stage are encrypted on the client when the warehouse sends keys.
  virtual bool encrypts() const { return true; }
};

struct StorageOptions {
  std::chrono::milliseconds request_timeout{std::chrono::seconds(90)};
  int max_retries = 5;
  std::function<void(std::chrono::milliseconds)> sleep;  // tests replace the wait
};

// Throws platform::NotImplementedError for a location type this connector cannot reach.
std::unique_ptr<StageStorage> make_stage_storage(const StageInfo& stage,
                                                 const StorageOptions& options);

}  // namespace platform::snowflake::file_transfer
