#include "platform/snowflake/rest_client.hpp"

#include <algorithm>

#include <fmt/format.h>

#include "platform/cancellation/cancellation_scope.hpp"
#include "platform/errors/errors.hpp"
#include "platform/http/http_client.hpp"
#include "platform/http/percent_encoding.hpp"
#include "platform/json/depth_limited_parse.hpp"
#include "platform/log/log.hpp"
#include "platform/snowflake/internal/encoding.hpp"
#include "platform/snowflake/internal/envelope.hpp"
#include "platform/snowflake/key_pair_jwt.hpp"
#include "platform/snowflake/snowflake_error.hpp"
#include "platform/text/redact.hpp"
#include "platform/uuid/uuid.hpp"

namespace platform::snowflake {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr std::string_view kClientAppId = "OrvaneSemanticAgent";
constexpr std::string_view kClientVersion = "1.0.0";
constexpr std::string_view kSessionExpired = "390112";
constexpr std::string_view kMasterTokenExpired = "390114";
// The warehouse does not know the token, e.g. after it restarted and forgot its sessions.
constexpr std::string_view kInvalidToken = "390104";
// Enough for a renewal followed by a re-login; more means the server keeps refusing.
constexpr int kMaxReplays = 3;
constexpr milliseconds kBackoffBase{1000};
constexpr milliseconds kBackoffCap{16000};

using internal::code_of;
using internal::succeeded;

std::int64_t epoch_millis() {
  return std::chrono::duration_cast<milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

std::string authenticator_name(Authenticator authenticator) {
  switch (authenticator) {
    case Authenticator::kPassword:
      return "SNOWFLAKE";
    case Authenticator::kKeyPair:
      return "SNOWFLAKE_JWT";
    case Authenticator::kOAuth:
      return "OAUTH";
    case Authenticator::kProgrammaticAccessToken:
      return "PROGRAMMATIC_ACCESS_TOKEN";
  }
  return "SNOWFLAKE";
}

std::string with_query(std::string url,
                       const std::vector<std::pair<std::string, std::string>>& query) {
  for (const auto& [name, value] : query) {
    url += url.find('?') == std::string::npos ? '?' : '&';
    url += http::percent_encode(name) + "=" + http::percent_encode(value);
  }
  return url;
}

http::Header authorization(const std::string& token) {
  return {"Authorization", "Snowflake Token=\"" + token + "\""};
}

// A result address the warehouse hands back such as "@other.host/x" would move the session token
// to another host once appended to the base URL.
void check_path_on_host(const std::string& path) {
  if (!path.starts_with('/')) {
    throw SnowflakeError::connection_failure(
        "The warehouse handed back an address that is not a path on its host");
  }
}

// Whether an answer outside the envelope protocol refuses its session token: HTTP 401, or a JSON
// body whose "code" is that of an expired or unknown token. A body that is not JSON, or nests
// too deeply to read, refuses nothing; its reader finds out. Only a body that mentions one of
// the codes is parsed here, so an answer (up to 32 MiB) is parsed once, by its reader.
bool refuses_session_token(const http::Response& response) {
  if (response.status == 401) return true;
  if (response.body.find(kSessionExpired) == std::string::npos &&
      response.body.find(kInvalidToken) == std::string::npos) {
    return false;
  }
  nlohmann::json body;
  try {
    body = json::parse_depth_limited<nlohmann::json>(response.body, "The answer");
  } catch (const ValueError&) {
    return false;
  }
  if (!body.is_object()) return false;
  const auto code = body.find("code");
  return code != body.end() && code->is_string() &&
         (*code == kSessionExpired || *code == kInvalidToken);
}

struct SendPlan {
  std::string method;
  std::string url;  // without request_guid and retry markers
  std::vector<http::Header> headers;
  std::function<std::string()> body;  // built anew for every attempt (a login JWT expires)
  bool retry = false;
  int max_retries = 0;
  milliseconds request_timeout{0};
  Clock::time_point deadline = Clock::time_point::max();
};

// Sends through the shared retry loop, marking every attempt with a fresh request_guid and every
// retry with its count, reason and the time of the first attempt. Returns the last result.
http::Result send(const SendPlan& plan, const ConnectionOptions& options) {
  const std::int64_t first_attempt_millis = epoch_millis();
  const http::Request request{.method = plan.method,
                              .url = plan.url,
                              .headers = plan.headers,
                              .total_timeout = plan.request_timeout,
                              .schemes = http::Schemes::kHttpsOrLoopbackHttp};
  http::RetryPolicy policy{.max_retries = plan.retry ? plan.max_retries : 0,
                           .initial_backoff = kBackoffBase,
                           .max_backoff = kBackoffCap,
                           .deadline = plan.deadline,
                           .sleep = options.sleep};
  policy.prepare_attempt = [&](http::Request& attempt_request, const http::Attempt& attempt) {
    std::vector<std::pair<std::string, std::string>> markers{
        {"request_guid", platform::uuid::uuid4()}};
    if (attempt.number > 0) {
      platform::log::debug("Warehouse request to {} failed ({}); retry {}",
                           text::without_user_info(plan.url),
                           attempt.retry_reason == 0 ? std::string("no answer")
                                                     : fmt::format("HTTP {}", attempt.retry_reason),
                           attempt.number);
      markers.emplace_back("retryCount", std::to_string(attempt.number));
      markers.emplace_back("retryReason", std::to_string(attempt.retry_reason));
      markers.emplace_back("clientStartTime", std::to_string(first_attempt_millis));
    }
    attempt_request.url = with_query(attempt_request.url, markers);
    if (plan.body) attempt_request.body = plan.body();
  };
  return http::perform_with_retries(request, policy);
}

// The envelope of an answer: the parsed JSON body. An answer with an error status but a
// warehouse envelope (e.g. 401 with code 390104) is returned like any other.
nlohmann::json envelope_of(const http::Result& result, const std::string& what) {
  if (!result.ok()) {
    throw SnowflakeError::connection_failure(
        fmt::format("Could not reach the warehouse for {}: {}", what, result.error_message()));
  }
  const http::Response& response = result.response();
  nlohmann::json envelope =
      json::parse_depth_limited<nlohmann::json>(response.body, "The warehouse's answer to " + what);
  if (!envelope.is_discarded() && envelope.is_object() && envelope.contains("success")) {
    return envelope;
  }
  if (response.status != 200) {
    throw SnowflakeError::connection_failure(
        fmt::format("The warehouse answered {} with HTTP status {}", what, response.status));
  }
  throw SnowflakeError::connection_failure(
      fmt::format("The warehouse answered {} with something other than its "
                  "JSON envelope",
                  what));
}

}  // namespace

std::string account_host_name(const ConnectionOptions& options) {
  if (!options.host.empty()) return options.host;
  const auto dot = options.account.find('.');
  const std::string account = options.account.substr(0, dot);
  const std::string region = dot == std::string::npos ? "" : options.account.substr(dot + 1);
  if (region.empty() || region == "us-west-2") return account + ".snowflakecomputing.com";
  if (region.starts_with("cn-")) return account + "." + region + ".snowflakecomputing.cn";
  return account + "." + region + ".snowflakecomputing.com";
}

std::optional<std::string> protocol_refusal(std::string_view protocol, std::string_view host) {
  if (protocol == "https" || (protocol == "http" && http::is_loopback_host(host))) {
    return std::nullopt;
  }
  if (protocol == "http") {
    return fmt::format(
        "Input should be 'https'; 'http' is accepted only for a loopback host (localhost, "
        "127.0.0.1, ::1), since passwords and tokens would travel in clear to {}",
        text::without_user_info(host));
  }
  return "Input should be 'https' or 'http'";
}

RestClient::RestClient(ConnectionOptions options) : options_(std::move(options)) {
  if (auto refusal = protocol_refusal(options_.protocol, account_host_name(options_))) {
    throw ValueError("Warehouse connection option protocol: " + *refusal);
  }
  const int default_port = options_.protocol == "http" ? 80 : 443;
  base_url_ = options_.protocol + "://" + account_host_name(options_) +
              (options_.port != default_port ? ":" + std::to_string(options_.port) : "");
}

std::string RestClient::token() const {
  std::lock_guard lock(state_mutex_);
  return session_token_;
}

void RestClient::sleep(milliseconds delay) const {
  if (options_.sleep) {
    options_.sleep(delay);
  } else {
    CancellationScope::sleep_unless_cancelled(delay);
  }
}

nlohmann::json RestClient::login_body() const {
  nlohmann::ordered_json data;
  data["ACCOUNT_NAME"] = options_.account.substr(0, options_.account.find('.'));
  if (!options_.user.empty()) data["LOGIN_NAME"] = options_.user;
  data["AUTHENTICATOR"] = authenticator_name(options_.authenticator);
  switch (options_.authenticator) {
    case Authenticator::kPassword:
      data["PASSWORD"] = options_.password;
      break;
    case Authenticator::kKeyPair:
      data["TOKEN"] = make_key_pair_jwt(options_.account, options_.user, options_.private_key_pem,
                                        options_.private_key_passphrase, std::time(nullptr));
      break;
    case Authenticator::kOAuth:
    case Authenticator::kProgrammaticAccessToken:
      data["TOKEN"] = options_.token;
      break;
  }
  data["CLIENT_APP_ID"] = kClientAppId;
  data["CLIENT_APP_VERSION"] = std::string(kClientVersion);
  data["CLIENT_ENVIRONMENT"] = {{"APPLICATION", "orvane-semantic-agent"}, {"OS", "Linux"}};
  // JSON rows are the only result format this connector reads.
  data["SESSION_PARAMETERS"] = {{"QUERY_RESULT_FORMAT", "JSON"}};
  return nlohmann::json{{"data", data}};
}

void RestClient::login() {
  std::lock_guard session_lock(session_mutex_);
  login_locked();
}

void RestClient::login_locked() {
  std::vector<std::pair<std::string, std::string>> query{{"requestId", platform::uuid::uuid4()}};
  if (!options_.warehouse.empty()) query.emplace_back("warehouse", options_.warehouse);
  if (!options_.database.empty()) query.emplace_back("databaseName", options_.database);
  if (!options_.schema.empty()) query.emplace_back("schemaName", options_.schema);
  if (!options_.role.empty()) query.emplace_back("roleName", options_.role);

  SendPlan plan{
      .method = "POST",
      .url = with_query(base_url_ + "/session/v1/login-request", query),
      .headers = {{"Accept", "application/json"},
                  {"Content-Type", "application/json"},
                  {"User-Agent", std::string(kClientAppId) + "/" + std::string(kClientVersion)},
                  {"CLIENT_APP_ID", std::string(kClientAppId)},
                  {"CLIENT_APP_VERSION", std::string(kClientVersion)}},
      .body = [this] { return login_body().dump(); },
      .retry = true,
      .max_retries = options_.max_retries,
      .request_timeout = options_.login_timeout,
      .deadline = Clock::now() + options_.login_timeout,
  };
  const nlohmann::json envelope = envelope_of(send(plan, options_), "the login");
  if (!succeeded(envelope)) throw SnowflakeError::from_envelope(envelope);
  const nlohmann::json& data = internal::data_of(envelope, "the login");
  std::string session_token = internal::text_member(data, "token");
  std::string master_token = internal::text_member(data, "masterToken");
  if (session_token.empty()) {
    throw SnowflakeError::connection_failure("The warehouse's login answer holds no session token");
  }
  std::lock_guard lock(state_mutex_);
  session_token_ = std::move(session_token);
  master_token_ = std::move(master_token);
  platform::log::debug("Logged in to the warehouse at {} as {}", text::without_user_info(base_url_),
                       options_.user);
}

nlohmann::json RestClient::exchange(const Call& call, const std::string& authorization_token) {
  check_path_on_host(call.path);
  SendPlan plan{
      .method = call.method,
      .url = with_query(base_url_ + call.path, call.query),
      .headers = {{"Accept", call.accept},
                  {"Content-Type", "application/json"},
                  {"User-Agent", std::string(kClientAppId) + "/" + std::string(kClientVersion)},
                  authorization(authorization_token)},
      .retry = call.retry,
      .max_retries = options_.max_retries,
      .request_timeout = options_.request_timeout,
      .deadline = call.deadline,
  };
  if (call.body) {
    const std::string body = call.body->dump();
    plan.body = [body] { return body; };
  }
  const std::string what = call.method + " " + call.path.substr(0, call.path.find('?'));
  return envelope_of(send(plan, options_), what);
}

nlohmann::json RestClient::call(const Call& call) {
  bool forgotten_session_replaced = false;
  for (int replay = 0;; ++replay) {
    const std::string used_token = token();
    nlohmann::json envelope = exchange(call, used_token);
    if (succeeded(envelope) || replay >= kMaxReplays) return envelope;
    const std::string code = code_of(envelope);
    if (code == kSessionExpired) {
      renew_session(used_token);
    } else if (code == kMasterTokenExpired) {
      login_again(used_token);
    } else if (code == kInvalidToken && !forgotten_session_replaced) {
      // Once only: a fresh session refused as well is not a forgotten one.
      forgotten_session_replaced = true;
      login_again(used_token);
    } else {
      return envelope;
    }
  }
}

http::Result RestClient::send_raw(const RawCall& raw) {
  check_path_on_host(raw.path);
  const auto send_with = [&](const std::string& session_token) {
    return http::perform(
        {.method = raw.method,
         .url = base_url_ + raw.path,
         .headers = {authorization(session_token), {"Content-Type", "application/json"}},
         .body = raw.json_body,
         .total_timeout = raw.total_timeout,
         .schemes = http::Schemes::kHttpsOrLoopbackHttp,
         .max_body_bytes = raw.max_body_bytes});
  };
  // After an idle hour the session token has expired and no statement ran to renew it; a second
  // refusal is the caller's to report.
  const std::string used_token = token();
  http::Result result = send_with(used_token);
  if (result.ok() && refuses_session_token(result.response())) {
    platform::log::debug("The warehouse refused the session token for {}; renewing the session",
                         raw.path);
    renew_session(used_token);
    result = send_with(token());
  }
  return result;
}

void RestClient::renew_session(const std::string& expired_token) {
  std::lock_guard session_lock(session_mutex_);
  std::string master_token;
  {
    std::lock_guard lock(state_mutex_);
    if (session_token_ != expired_token) return;  // another caller renewed meanwhile
    master_token = master_token_;
  }
  Call renewal{
      .path = "/session/token-request",
      .body = nlohmann::json{{"requestType", "RENEW"}, {"oldSessionToken", expired_token}}};
  const nlohmann::json envelope = exchange(renewal, master_token);
  if (!succeeded(envelope)) {
    const std::string code = code_of(envelope);
    if (code == kMasterTokenExpired || code == kInvalidToken) {
      platform::log::debug("The warehouse refused the master token ({}); logging in again", code);
      login_locked();
      return;
    }
    throw SnowflakeError::from_envelope(envelope);
  }
  const nlohmann::json& data = internal::data_of(envelope, "the session renewal");
  std::string session_token = internal::text_member(data, "sessionToken");
  if (session_token.empty()) session_token = internal::text_member(data, "token");
  if (session_token.empty()) {
    // Keeping the old token lets the next caller try again; an empty one would fail them all.
    throw SnowflakeError::connection_failure(
        "The warehouse's session renewal answer holds no session token");
  }
  std::string master = internal::text_member(data, "masterToken");
  std::lock_guard lock(state_mutex_);
  session_token_ = std::move(session_token);
  if (!master.empty()) master_token_ = std::move(master);
  platform::log::debug("Renewed the warehouse session token");
}

void RestClient::login_again(const std::string& expired_token) {
  std::lock_guard session_lock(session_mutex_);
  {
    std::lock_guard lock(state_mutex_);
    if (session_token_ != expired_token) return;
  }
  platform::log::debug("The warehouse master token expired; logging in again");
  login_locked();
}

void RestClient::close_session() noexcept {
  try {
    const std::string used_token = token();
    if (used_token.empty()) return;
    Call close{.path = "/session",
               .query = {{"delete", "true"}, {"requestId", platform::uuid::uuid4()}}};
    const nlohmann::json envelope = exchange(close, used_token);
    const std::string code = code_of(envelope);
    // A session that is gone or expired is as closed as it gets.
    if (!succeeded(envelope) && code != "390111" && code != kSessionExpired &&
        code != kInvalidToken) {
      platform::log::warning("Closing the warehouse session failed: {}",
                             SnowflakeError::from_envelope(envelope).what());
    }
  } catch (const std::exception& error) {
    platform::log::warning("Closing the warehouse session failed: {}", error.what());
  }
  std::lock_guard lock(state_mutex_);
  session_token_.clear();
  master_token_.clear();
}

}  // namespace platform::snowflake
