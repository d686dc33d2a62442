// The session with the warehouse: login, the current session token, and every REST exchange
// after login, with token renewal, re-login and retries done out of the caller's sight.
//
//   RestClient rest(options);
//   rest.login();
//   nlohmann::json answer = rest.call({.path = "/queries/v1/query-request", .body = body});
//   std::string token = rest.token();   // what the analyst request sends
//
// Login tries the configured authenticator (password, key-pair JWT, OAuth or programmatic
// access token), retrying connection errors, 408, 429 and 5xx answers with jittered backoff
// within `login_timeout`. Exchanges go through platform::http's retry loop, so a wait between
// attempts ends as soon as the caller's CancellationScope asks to stop. `call` replays an
// exchange after renewing an expired session token (code 390112) with the master token, after
// logging in again when the master token has expired (390114), and, once, after logging in
// again when the warehouse no longer knows the session (390104, e.g. after a restart). Retried
// exchanges carry a fresh request_guid and retryCount, retryReason and clientStartTime in the
// URL; a caller's requestId stays the same, so the warehouse runs a retried statement once.
//
// Every request, chunk downloads included, goes over https, or plain http to a loopback host
// only (a local test server); the constructor throws platform::ValueError for other options.
// Answers are read up to platform::http::kDefaultMaxBodyBytes (64 MiB) each, and nested at most
// platform::json::kMaxJsonDepth deep (deeper fails with platform::ValueError).
//
// Throws SnowflakeError for a failed login, a warehouse that cannot be reached or answers with
// no JSON envelope or with envelope fields of the wrong kind, and a failed renewal. Secrets and
// tokens never appear in a log line or an error text. Thread-safe: tokens are guarded, and one
// renewal serves concurrent callers.
#pragma once

#include <chrono>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/http/http_client.hpp"
#include "platform/snowflake/connection_options.hpp"
#include "platform/snowflake/snowflake_error.hpp"

namespace platform::snowflake {

class RestClient {
 public:
  explicit RestClient(ConnectionOptions options);

  struct Call {
    std::string method = "POST";
    // An absolute path, possibly with a query already ("/queries/<id>/result?x=1"); anything not
    // starting with "/" is refused with SnowflakeError before it is sent.
    std::string path;
    std::vector<std::pair<std::string, std::string>> query;
    std::optional<nlohmann::json> body;
    std::string accept = "application/json";
    // Retry connection errors, 408, 429 and 5xx (only for exchanges safe to repeat).
    bool retry = false;
    // When the exchange, retries and waits included, must be over (a statement's deadline).
    std::chrono::steady_clock::time_point deadline = std::chrono::steady_clock::time_point::max();
  };

  // Opens a new session; a second call replaces the session.
  void login();
  // Sends the call with the current session token and returns the warehouse's envelope
  // ({"data", "code", "message", "success"}), failed or not, after any renewal and replay.
  nlohmann::json call(const Call& call);
  // Ends the session on the warehouse; failures are logged, never thrown.
  void close_session() noexcept;

  // The current session token; empty before login.
  std::string token() const;
  // Renews the session after an exchange outside `call` (the analyst request) was refused with
  // `expired_token`, as `call` does: with the master token, or by logging in again once the
  // warehouse refuses that too (expired or unknown). Single-flight: when another caller renewed
  // meanwhile, nothing is sent. Throws SnowflakeError when renewal and login fail, or the renewal
  // answer holds no session token (the old token is then kept).
  void renew_session(const std::string& expired_token);
  const ConnectionOptions& options() const { return options_; }
  // "https://<host>[:port]".
  const std::string& base_url() const { return base_url_; }
  // Waits as the options ask (tests replace the wait); the default wait ends early once the
  // calling thread's CancellationScope asks to stop.
  void sleep(std::chrono::milliseconds delay) const;

 private:
  // One exchange (with retries as the call allows) authorised by `authorization_token`.
  nlohmann::json exchange(const Call& call, const std::string& authorization_token);
  void login_again(const std::string& expired_token);
  void login_locked();
  nlohmann::json login_body() const;

  ConnectionOptions options_;
  std::string base_url_;
  mutable std::mutex state_mutex_;  // guards the tokens
  std::mutex session_mutex_;        // one renewal or login at a time
  std::string session_token_;
  std::string master_token_;
};

// Whether an answer outside the envelope protocol (status, and the "code" of its JSON body or
// empty) refuses its session token: HTTP 401, or the code of an expired or unknown token.
bool refuses_session_token(long status, std::string_view code);

// The account's host name, from the host override or the account identifier.
std::string account_host_name(const ConnectionOptions& options);

// Why `protocol` may not reach `host`: anything but "https", or "http" to a host that is not a
// loopback host (a password or token would travel in clear). nullopt when it may.
std::optional<std::string> protocol_refusal(std::string_view protocol, std::string_view host);

}  // namespace platform::snowflake
