#include "tests/fakes/object_store/fake_object_store.hpp"

#include <httplib.h>

#include <algorithm>
#include <mutex>
#include <optional>
#include <regex>
#include <set>

#include "platform/snowflake/file_transfer/sigv4.hpp"
#include "platform/text/ascii_case.hpp"
#include "tests/fakes/common/loopback_server.hpp"

namespace fakes {
namespace {

namespace sigv4 = platform::snowflake::file_transfer;

struct Credential {
  std::string secret, session_token;  // S3 only
  std::optional<int> expires_after;   // uploads left before it expires
};

enum class Verdict { kAccepted, kExpired, kRefused };
enum class Kind { kS3, kAzure, kGcs };

}  // namespace

struct FakeObjectStore::Impl {
  explicit Impl(const FakeObjectStoreOptions& options)
      : server(options.cert_file.c_str(), options.key_file.c_str()) {}

  httplib::SSLServer server;
  std::unique_ptr<LoopbackServer> running;

  mutable std::mutex mutex;
  std::map<std::string, Credential> credentials;  // by key id, SAS, token or signature
  std::map<std::string, StoredObject> objects;
  std::vector<std::string> refusals;
  int uploads = 0;
  int failures_left = 0, failure_status = 0;

  Verdict verdict_of(const std::string& credential) const {
    const auto found = credentials.find(credential);
    if (found == credentials.end()) return Verdict::kRefused;
    if (found->second.expires_after && *found->second.expires_after <= 0) return Verdict::kExpired;
    return Verdict::kAccepted;
  }

  void count_upload() {
    ++uploads;
    for (auto& [name, credential] : credentials) {
      if (credential.expires_after && *credential.expires_after > 0) --*credential.expires_after;
    }
  }

  // The S3 key id the signature names, once the signature is checked.
  std::pair<Verdict, std::string> check_sigv4(const httplib::Request& request) const {
    static const std::regex form(
        R"(AWS4-HMAC-SHA256 Credential=([^/]+)/(\d{8})/([^/]+)/s3/aws4_request,\s*SignedHeaders=([^,]+),\s*Signature=([0-9a-f]{64}))");
    std::smatch match;
    const std::string authorization = request.get_header_value("Authorization");
    if (!std::regex_match(authorization, match, form)) return {Verdict::kRefused, "malformed"};
    const std::string key_id = match[1];
    const auto found = credentials.find(key_id);
    if (found == credentials.end()) return {Verdict::kRefused, "InvalidAccessKeyId"};
    const std::string payload_hash = request.get_header_value("x-amz-content-sha256");
    if (payload_hash != sigv4::sha256_hex(request.body))
      return {Verdict::kRefused, "XAmzContentSHA256Mismatch"};
    if (!found->second.session_token.empty() &&
        request.get_header_value("x-amz-security-token") != found->second.session_token) {
      return {Verdict::kRefused, "InvalidToken"};
    }
    sigv4::SigV4Request signed_request{
        .method = request.method,
        .canonical_uri = request.target.substr(0, request.target.find('?')),
        .payload_hash = payload_hash};
    for (const auto& [name, value] : request.params) signed_request.query.emplace_back(name, value);
    std::string names = match[4];
    for (size_t start = 0; start <= names.size();) {
      const size_t end = std::min(names.find(';', start), names.size());
      const std::string name = names.substr(start, end - start);
      if (!request.has_header(name)) return {Verdict::kRefused, "SignatureDoesNotMatch"};
      signed_request.headers.emplace_back(name, request.get_header_value(name));
      start = end + 1;
    }
    const sigv4::SigV4Signature expected =
        sigv4::sign_v4(signed_request, {key_id, found->second.secret, found->second.session_token},
                       match[3].str(), "s3", request.get_header_value("x-amz-date"));
    if (expected.signature != match[5].str() ||
        !match[2].str().starts_with(request.get_header_value("x-amz-date").substr(0, 8))) {
      return {Verdict::kRefused, "SignatureDoesNotMatch"};
    }
    return {verdict_of(key_id), key_id};
  }

  void handle(const httplib::Request& request, httplib::Response& response) {
    std::lock_guard lock(mutex);
    if (failures_left > 0) {
      --failures_left;
      response.status = failure_status;
      response.set_content("<Error><Code>ServiceUnavailable</Code></Error>", "application/xml");
      return;
    }
    const std::string authorization = request.get_header_value("Authorization");
    std::string object_key = request.path.substr(1);
    std::string metadata_prefix;
    Verdict verdict = Verdict::kRefused;
    std::string why;
    Kind kind = Kind::kGcs;
    if (authorization.starts_with("AWS4-HMAC-SHA256")) {
      kind = Kind::kS3;
      metadata_prefix = "x-amz-meta-";
      std::tie(verdict, why) = check_sigv4(request);
    } else if (request.has_param("sig") && !request.path.starts_with("/presigned/")) {
      kind = Kind::kAzure;
      metadata_prefix = "x-ms-meta-";
      const std::string target = request.target;
      const std::string sas = target.substr(target.find('?') + 1);
      verdict = verdict_of(sas);
      why = "SAS";
      object_key = object_key.substr(object_key.find('/') + 1);  // drop the account
      if (request.method == "PUT" && request.get_header_value("x-ms-blob-type") != "BlockBlob") {
        verdict = Verdict::kRefused;
        why = "MissingRequiredHeader x-ms-blob-type";
      }
    } else {
      metadata_prefix = "x-goog-meta-";
      if (request.path.starts_with("/presigned/")) {
        object_key = object_key.substr(std::string("presigned/").size());
        verdict = verdict_of(request.get_param_value("sig"));
        why = "presigned";
      } else if (authorization.starts_with("Bearer ")) {
        verdict = verdict_of(authorization.substr(7));
        why = "bearer";
      }
    }
    if (verdict != Verdict::kAccepted) {
      refusals.push_back(request.method + " " + request.path + ": " +
                         (verdict == Verdict::kExpired ? "expired " : "refused ") + why);
      refuse(kind, verdict, why, response);
      return;
    }
    if (request.method == "HEAD" || request.method == "GET") {
      const auto found = objects.find(object_key);
      if (found == objects.end()) {
        response.status = 404;
        return;
      }
      for (const auto& [name, value] : found->second.metadata) {
        response.set_header(metadata_prefix + name, value);
      }
      response.set_header("Content-Length", std::to_string(found->second.bytes.size()));
      return;
    }
    StoredObject object{.bytes = request.body};
    for (const auto& [name, value] : request.headers) {
      const std::string header = platform::text::to_ascii_lower(name);
      if (header.starts_with(metadata_prefix)) {
        object.metadata[header.substr(metadata_prefix.size())] = value;
      }
    }
    object.content_encoding = request.get_header_value("Content-Encoding");
    objects[object_key] = std::move(object);
    count_upload();
    response.status = kind == Kind::kAzure ? 201 : 200;
  }

  static void refuse(Kind kind, Verdict verdict, const std::string& why,
                     httplib::Response& response) {
    const bool expired = verdict == Verdict::kExpired;
    switch (kind) {
      case Kind::kS3:
        response.status = expired ? 400 : 403;
        response.set_content("<Error><Code>" + std::string(expired ? "ExpiredToken" : why) +
                                 "</Code><Message>refused</Message></Error>",
                             "application/xml");
        return;
      case Kind::kAzure:
        response.status = 403;
        response.set_header("x-ms-error-code", "AuthenticationFailed");
        response.set_content(
            std::string("<Error><Code>AuthenticationFailed</Code><AuthenticationErrorDetail>") +
                (expired ? "Signature not valid in the specified time frame" : why) +
                "</AuthenticationErrorDetail></Error>",
            "application/xml");
        return;
      case Kind::kGcs:
        response.status = expired ? 401 : 403;
        response.set_content(R"({"error":{"code":)" + std::to_string(response.status) +
                                 R"(,"message":")" + (expired ? "token expired" : "forbidden") +
                                 R"("}})",
                             "application/json");
        return;
    }
  }
};

FakeObjectStore::FakeObjectStore(FakeObjectStoreOptions options)
    : impl_(std::make_unique<Impl>(options)) {
  if (!impl_->server.is_valid()) throw std::runtime_error("the fake object store cannot start");
  const auto handler = [this](const httplib::Request& request, httplib::Response& response) {
    impl_->handle(request, response);
  };
  impl_->server.Put(".*", handler);
  impl_->server.Get(".*", handler);  // and HEAD
  impl_->running = std::make_unique<LoopbackServer>(impl_->server, "https");
}

FakeObjectStore::~FakeObjectStore() { impl_->running.reset(); }

int FakeObjectStore::port() const { return impl_->running->port(); }
std::string FakeObjectStore::host() const { return "127.0.0.1:" + std::to_string(port()); }

void FakeObjectStore::accept_s3_key(const std::string& key_id, const std::string& secret,
                                    const std::string& session_token) {
  std::lock_guard lock(impl_->mutex);
  impl_->credentials[key_id] = {secret, session_token, std::nullopt};
}

void FakeObjectStore::accept_sas(const std::string& sas_query) {
  std::lock_guard lock(impl_->mutex);
  impl_->credentials[sas_query] = {};
}

void FakeObjectStore::accept_bearer(const std::string& token) {
  std::lock_guard lock(impl_->mutex);
  impl_->credentials[token] = {};
}

void FakeObjectStore::accept_presigned_signature(const std::string& signature) {
  std::lock_guard lock(impl_->mutex);
  impl_->credentials[signature] = {};
}

void FakeObjectStore::expire(const std::string& credential, int after_uploads) {
  std::lock_guard lock(impl_->mutex);
  impl_->credentials[credential].expires_after = after_uploads;
}

void FakeObjectStore::fail_next(int status, int times) {
  std::lock_guard lock(impl_->mutex);
  impl_->failure_status = status;
  impl_->failures_left = times;
}

std::map<std::string, StoredObject> FakeObjectStore::objects() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->objects;
}

int FakeObjectStore::uploads() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->uploads;
}

std::vector<std::string> FakeObjectStore::refusals() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->refusals;
}

}  // namespace fakes
