#include "platform/snowflake/file_transfer/s3_storage.hpp"

#include "platform/http/percent_encoding.hpp"
#include "platform/snowflake/file_transfer/object_store_http.hpp"
#include "platform/snowflake/file_transfer/sigv4.hpp"
#include "platform/snowflake/snowflake_error.hpp"

namespace platform::snowflake::file_transfer {
namespace {

constexpr char kService[] = "s3";

std::string lookup(const StageInfo& stage, const char* name) {
  const auto it = stage.creds.find(name);
  return it == stage.creds.end() ? "" : it->second;
}

class S3Storage : public StageStorage {
 public:
  S3Storage(const StageInfo& stage, StorageOptions options)
      : stage_(stage),
        options_(std::move(options)),
        region_(stage.region.empty() ? "us-east-1" : stage.region),
        credentials_{lookup(stage, "AWS_KEY_ID"), lookup(stage, "AWS_SECRET_KEY"),
                     lookup(stage, "AWS_TOKEN")} {
    if (credentials_.access_key_id.empty() || credentials_.secret_access_key.empty()) {
      throw SnowflakeError::malformed_answer("The warehouse's PUT answer holds no S3 credentials");
    }
  }

  std::optional<std::string> existing_digest(const std::string& target) override {
    const http::Response response = send("HEAD", target, "", {}, "Checking " + target);
    if (response.status == 404) return std::nullopt;
    if (response.status == 400) throw CredentialsExpired("the stage credentials have expired");
    if (response.status >= 300) store_refused("Checking " + target + " on the stage", response);
    return response.header("x-amz-meta-sfc-digest").value_or("");
  }

  void upload(const StageUpload& upload) override {
    std::vector<std::pair<std::string, std::string>> metadata{
        {"content-type", "application/octet-stream"},
        {"x-amz-meta-sfc-digest", upload.file.digest}};
    if (upload.encryption) {
      metadata.emplace_back("x-amz-meta-x-amz-key", upload.encryption->wrapped_key);
      metadata.emplace_back("x-amz-meta-x-amz-iv", upload.encryption->iv);
      metadata.emplace_back("x-amz-meta-x-amz-matdesc", upload.encryption->matdesc);
    }
    const std::string what = "Uploading " + upload.file.target;
    const http::Response response = send("PUT", upload.file.target, upload.body, metadata, what);
    if (response.status < 300) return;
    if (store_error_code(response) == "ExpiredToken") {
      throw CredentialsExpired("the stage credentials have expired");
    }
    store_refused(what + " to the stage", response);
  }

 private:
  http::Response send(const std::string& method, const std::string& target, std::string_view body,
                      std::vector<std::pair<std::string, std::string>> headers,
                      const std::string& what) {
    const S3Address address = s3_address(stage_, target);
    const std::string date = amz_date(std::chrono::system_clock::now());
    const std::string payload_hash = sha256_hex(body);
    headers.emplace_back("host", address.host);
    headers.emplace_back("x-amz-date", date);
    headers.emplace_back("x-amz-content-sha256", payload_hash);
    if (!credentials_.session_token.empty()) {
      headers.emplace_back("x-amz-security-token", credentials_.session_token);
    }
    const SigV4Signature signature = sign_v4({.method = method,
                                              .canonical_uri = address.path,
                                              .headers = headers,
                                              .payload_hash = payload_hash},
                                             credentials_, region_, kService, date);
    http::Request request{.method = method,
                          .url = "https://" + address.host + address.path,
                          .body = std::string(body)};
    for (auto& [name, value] : headers) {
      if (name != "host") request.headers.push_back({name, value});
    }
    request.headers.push_back({"Authorization", signature.authorization});
    return send_to_store(std::move(request), options_, what);
  }

  StageInfo stage_;
  StorageOptions options_;
  std::string region_;
  SigV4Credentials credentials_;
};

}  // namespace

S3Address s3_address(const StageInfo& stage, const std::string& target) {
  const auto [bucket, prefix] = split_location(stage.location);
  std::string host;
  if (!stage.end_point.empty()) {
    host = stage.end_point;
    if (const auto scheme = host.find("://"); scheme != std::string::npos)
      host.erase(0, scheme + 3);
    while (host.ends_with('/')) host.pop_back();
  } else {
    const std::string region = stage.region.empty() ? "us-east-1" : stage.region;
    host = "s3." + region + (region.starts_with("cn-") ? ".amazonaws.com.cn" : ".amazonaws.com");
  }
  if (is_ip_host(host))
    return {host, "/" + http::percent_encode_path(bucket + "/" + prefix + target)};
  return {bucket + "." + host, "/" + http::percent_encode_path(prefix + target)};
}

std::unique_ptr<StageStorage> make_s3_storage(const StageInfo& stage,
                                              const StorageOptions& options) {
  return std::make_unique<S3Storage>(stage, options);
}

}  // namespace platform::snowflake::file_transfer
