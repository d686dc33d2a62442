#include "platform/snowflake/file_transfer/azure_storage.hpp"

#include "platform/http/percent_encoding.hpp"
#include "platform/snowflake/file_transfer/object_store_http.hpp"
#include "platform/snowflake/file_transfer/sigv4.hpp"
#include "platform/snowflake/snowflake_error.hpp"

namespace platform::snowflake::file_transfer {
namespace {

std::string blob_service_base(const StageInfo& stage) {
  std::string end_point = stage.end_point;
  if (end_point.starts_with("https://") || end_point.starts_with("http://")) {
    return https_base(end_point);
  }
  if (stage.storage_account.empty()) {
    throw SnowflakeError::malformed_answer(
        "The warehouse's PUT answer names no Azure storage account");
  }
  if (end_point.empty()) end_point = "core.windows.net";
  end_point = end_point.substr(0, end_point.find('/'));
  if (is_ip_host(end_point)) return "https://" + end_point + "/" + stage.storage_account;
  if (!end_point.starts_with("blob.")) end_point = "blob." + end_point;
  return "https://" + stage.storage_account + "." + end_point;
}

bool authentication_failed(const http::Response& response) {
  return response.status == 403 && store_error_code(response) == "AuthenticationFailed";
}

class AzureStorage : public StageStorage {
 public:
  AzureStorage(const StageInfo& stage, StorageOptions options)
      : stage_(stage), options_(std::move(options)) {
    azure_blob_url(stage, "");  // refuses a stage without an account before any upload
    const auto sas = stage.creds.find("AZURE_SAS_TOKEN");
    if (sas == stage.creds.end() || sas->second.empty()) {
      throw SnowflakeError::malformed_answer("The warehouse's PUT answer holds no Azure SAS token");
    }
    sas_ = sas->second.starts_with('?') ? sas->second : "?" + sas->second;
  }

  std::optional<std::string> existing_digest(const std::string& target) override {
    const std::string what = "Checking " + target + " on the stage";
    const http::Response response = send({.method = "HEAD", .url = url(target)}, what);
    if (response.status == 404) return std::nullopt;
    if (authentication_failed(response))
      throw CredentialsExpired("the stage SAS token has expired");
    if (response.status >= 300) store_refused(what, response);
    return response.header("x-ms-meta-sfcdigest").value_or("");
  }

  void upload(const StageUpload& upload) override {
    http::Request request{
        .method = "PUT", .url = url(upload.file.target), .body = std::string(upload.body)};
    request.headers = {{"x-ms-blob-type", "BlockBlob"},
                       {"Content-Type", "application/octet-stream"},
                       {"x-ms-meta-sfcdigest", upload.file.digest}};
    if (upload.encryption) {
      request.headers.push_back({"x-ms-meta-matdesc", upload.encryption->matdesc});
      request.headers.push_back({"x-ms-meta-encryptiondata",
                                 full_blob_encryption_data(*upload.encryption, "AES_CBC_128")});
    }
    const std::string what = "Uploading " + upload.file.target + " to the stage";
    const http::Response response = send(std::move(request), what);
    if (response.status < 300) return;
    if (authentication_failed(response))
      throw CredentialsExpired("the stage SAS token has expired");
    store_refused(what, response);
  }

 private:
  std::string url(const std::string& target) const { return azure_blob_url(stage_, target) + sas_; }
  http::Response send(http::Request request, const std::string& what) {
    return send_to_store(std::move(request), options_, what);
  }

  StageInfo stage_;
  StorageOptions options_;
  std::string sas_;
};

}  // namespace

std::string azure_blob_url(const StageInfo& stage, const std::string& target) {
  const auto [container, prefix] = split_location(stage.location);
  return blob_service_base(stage) + "/" +
         http::percent_encode_path(container + "/" + prefix + target);
}

std::unique_ptr<StageStorage> make_azure_storage(const StageInfo& stage,
                                                 const StorageOptions& options) {
  return std::make_unique<AzureStorage>(stage, options);
}

}  // namespace platform::snowflake::file_transfer
