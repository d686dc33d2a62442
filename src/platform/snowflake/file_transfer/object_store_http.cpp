#include "platform/snowflake/file_transfer/object_store_http.hpp"

#include <arpa/inet.h>

#include <nlohmann/json.hpp>

#include "platform/snowflake/snowflake_error.hpp"

namespace platform::snowflake::file_transfer {

http::Response send_to_store(http::Request request, const StorageOptions& options,
                             const std::string& what) {
  request.total_timeout = options.request_timeout;
  request.decode_content = false;                         // stored bytes are compared as they are
  request.schemes = http::Schemes::kHttpsOrLoopbackHttp;  // credentials never travel in clear
  http::RetryPolicy policy{.max_retries = options.max_retries, .sleep = options.sleep};
  http::Result result = http::perform_with_retries(request, policy);
  if (!result.ok()) {
    throw SnowflakeError::connector_failure(
        what + " failed: the stage's storage cannot be reached (" + result.error_message() + ")");
  }
  return std::move(result.response());
}

std::string store_error_code(const http::Response& response) {
  if (auto header = response.header("x-ms-error-code")) return *header;
  const std::string& body = response.body;
  if (const auto start = body.find("<Code>"); start != std::string::npos) {
    const auto end = body.find("</Code>", start);
    if (end != std::string::npos) return body.substr(start + 6, end - start - 6);
  }
  const auto json = nlohmann::json::parse(body, nullptr, false);
  if (json.is_object() && json.contains("error")) {
    const auto& error = json["error"];
    if (error.is_object() && error.contains("message") && error["message"].is_string()) {
      return error["message"].get<std::string>();
    }
    if (error.is_string()) return error.get<std::string>();
  }
  return "";
}

void store_refused(const std::string& what, const http::Response& response) {
  const std::string code = store_error_code(response);
  throw SnowflakeError::connector_failure(what + " failed: the stage's storage answered HTTP " +
                                          std::to_string(response.status) +
                                          (code.empty() ? "" : " " + code));
}

std::pair<std::string, std::string> split_location(std::string_view location) {
  const auto slash = location.find('/');
  if (slash == std::string_view::npos) return {std::string(location), ""};
  std::string prefix(location.substr(slash + 1));
  if (!prefix.empty() && !prefix.ends_with('/')) prefix += '/';
  return {std::string(location.substr(0, slash)), prefix};
}

bool is_ip_host(std::string_view host) {
  std::string name(host);
  if (name.starts_with('[')) return true;  // "[::1]:443"
  if (const auto colon = name.rfind(':'); colon != std::string::npos) name.resize(colon);
  in_addr v4{};
  return inet_pton(AF_INET, name.c_str(), &v4) == 1;
}

std::string full_blob_encryption_data(const EncryptionEnvelope& envelope,
                                      std::string_view content_algorithm) {
  nlohmann::ordered_json data;
  data["EncryptionMode"] = "FullBlob";
  data["WrappedContentKey"] = {
      {"KeyId", "symmKey1"}, {"EncryptedKey", envelope.wrapped_key}, {"Algorithm", "AES_CBC_256"}};
  data["EncryptionAgent"] = {{"Protocol", "1.0"},
                             {"EncryptionAlgorithm", std::string(content_algorithm)}};
  data["ContentEncryptionIV"] = envelope.iv;
  data["KeyWrappingMetadata"] = {{"EncryptionLibrary", "Java 5.3.0"}};
  return data.dump();
}

std::string https_base(std::string_view base) {
  std::string url(base);
  if (!url.starts_with("https://") && !url.starts_with("http://")) url = "https://" + url;
  while (url.ends_with('/')) url.pop_back();
  return url;
}

}  // namespace platform::snowflake::file_transfer
