#include "platform/snowflake/file_transfer/gcs_storage.hpp"

#include <cctype>

#include "platform/http/percent_encoding.hpp"
#include "platform/snowflake/file_transfer/object_store_http.hpp"
#include "platform/snowflake/file_transfer/sigv4.hpp"
#include "platform/snowflake/snowflake_error.hpp"
#include "platform/text/ascii_case.hpp"

namespace platform::snowflake::file_transfer {
namespace {

class GcsStorage : public StageStorage {
 public:
  GcsStorage(const StageInfo& stage, StorageOptions options)
      : stage_(stage), options_(std::move(options)) {
    if (const auto token = stage.creds.find("GCS_ACCESS_TOKEN"); token != stage.creds.end()) {
      token_ = token->second;
    }
  }

  std::optional<std::string> existing_digest(const std::string& target) override {
    if (token_.empty()) return std::nullopt;
    const std::string what = "Checking " + target + " on the stage";
    const http::Response response = send({.method = "HEAD", .url = url(target)}, what);
    if (response.status == 404) return std::nullopt;
    if (response.status == 401) throw CredentialsExpired("the stage access token has expired");
    if (response.status >= 300) store_refused(what, response);
    return response.header("x-goog-meta-sfc-digest").value_or("");
  }

  void upload(const StageUpload& upload) override {
    if (token_.empty() && stage_.presigned_url.empty()) {
      throw SnowflakeError::malformed_answer(
          "The warehouse gave neither an access token nor a presigned address "
          "for " +
          upload.file.target);
    }
    http::Request request{.method = "PUT",
                          .url = token_.empty() ? stage_.presigned_url : url(upload.file.target),
                          .body = std::string(upload.body)};
    request.headers = {{"Content-Encoding", ""},
                       {"Content-Type", "application/octet-stream"},
                       {"x-goog-meta-sfc-digest", upload.file.digest}};
    if (upload.encryption) {
      request.headers.push_back({"x-goog-meta-matdesc", upload.encryption->matdesc});
      request.headers.push_back({"x-goog-meta-encryptiondata",
                                 full_blob_encryption_data(*upload.encryption, "AES_CBC_256")});
    }
    const std::string what = "Uploading " + upload.file.target + " to the stage";
    const http::Response response = send(std::move(request), what);
    if (response.status < 300) return;
    const bool expired =
        token_.empty() ? response.status == 400 || response.status == 401 || response.status == 403
                       : response.status == 401;
    if (expired) throw CredentialsExpired("the stage access token or address has expired");
    store_refused(what, response);
  }

 private:
  std::string url(const std::string& target) const { return gcs_object_url(stage_, target); }
  http::Response send(http::Request request, const std::string& what) {
    if (!token_.empty()) request.headers.push_back({"Authorization", "Bearer " + token_});
    return send_to_store(std::move(request), options_, what);
  }

  StageInfo stage_;
  StorageOptions options_;
  std::string token_;
};

}  // namespace

std::string gcs_object_url(const StageInfo& stage, const std::string& target) {
  const auto [bucket, prefix] = split_location(stage.location);
  const std::string object = "/" + http::percent_encode_path(prefix + target);
  const std::string region = text::to_ascii_lower(stage.region);
  if (!stage.end_point.empty())
    return https_base(stage.end_point) + "/" + http::percent_encode_path(bucket) + object;
  if (stage.use_virtual_url) return "https://" + bucket + ".storage.googleapis.com" + object;
  if (stage.use_regional_url && !region.empty()) {
    return "https://storage." + region + ".rep.googleapis.com/" +
           http::percent_encode_path(bucket) + object;
  }
  return "https://storage.googleapis.com/" + http::percent_encode_path(bucket) + object;
}

std::unique_ptr<StageStorage> make_gcs_storage(const StageInfo& stage,
                                               const StorageOptions& options) {
  return std::make_unique<GcsStorage>(stage, options);
}

}  // namespace platform::snowflake::file_transfer
