// The session with the warehouse: login, the current session token, and every REST exchange
// after login, with token renewal, re-login and retries done out of the caller's sight.
//
//   RestClient rest(options);
//   rest.login();
//   nlohmann::json answer = rest.call({.path = "/queries/v1/query-request", .body = body});
//   http::Result reply = rest.send_raw({.path = "/api/v2/cortex/analyst/message",
//                                       .json_body = text});
//
// Login tries the configured authenticator (password, key-pair JWT, OAuth or programmatic
// access token), retrying connection errors, 408, 429 and 5xx answers with jittered backoff
// within `login_timeout`. Exchanges go through platform::http's retry loop, so a wait between
// attempts ends as soon as the caller's CancellationScope asks to stop. `call` replays an
// exchange after renewing an expired session token (code 390112) with the master token, after
// logging in again when the master token has expired (390114), and, once, after logging in
// again when the warehouse no longer knows the session (390104, e.g. after a restart);
// `send_raw` renews and replays the same way for a service outside the envelope protocol.
// Retried exchanges carry a fresh request_guid and retryCount, retryReason and clientStartTime
// in the URL; a caller's requestId stays the same, so the warehouse runs a retried statement
// once.
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
#include <cstddef>
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

  // One exchange with a service on the account host that answers outside the envelope protocol
  // (the analyst service).
  struct RawCall {
    std::string method = "POST";
    // An absolute path, refused with SnowflakeError like Call's when it does not start with "/".
    std::string path;
    std::string json_body;  // sent as it is
    // The whole exchange; 0 leaves it unbounded.
    std::chrono::milliseconds total_timeout{0};
    std::size_t max_body_bytes = http::kDefaultMaxBodyBytes;
  };

  // Opens a new session; a second call replaces the session.
  void login();
  // Sends the call with the current session token and returns the warehouse's envelope
  // ({"data", "code", "message", "success"}), failed or not, after any renewal and replay.
  nlohmann::json call(const Call& call);
  // Sends the raw call once to base_url() + path, never retried and with nothing added to the
  // address, carrying exactly two headers in this order: "Authorization: Snowflake
  // Token=\"<current session token>\"" and "Content-Type: application/json". When the answer
  // refuses the token (HTTP 401, or a JSON body whose "code" is 390112 or 390104), renews the
  // session as `call` does (logging in again when the master token is refused too) and sends it
  // once more. Returns the last result as platform::http gives it: a transport failure, or the
  // answer whatever its status. Throws SnowflakeError when the renewal fails.
  http::Result send_raw(const RawCall& raw);
  // Ends the session on the warehouse; failures are logged, never thrown.
  void close_session() noexcept;

  // The current session token; empty before login.
  std::string token() const;
  const ConnectionOptions& options() const { return options_; }
  // "https://<host>[:port]".
  const std::string& base_url() const { return base_url_; }
  // Waits as the options ask (tests replace the wait); the default wait ends early once the
  // calling thread's CancellationScope asks to stop.
  void sleep(std::chrono::milliseconds delay) const;

 private:
  // One exchange (with retries as the call allows) authorised by `authorization_token`.
  nlohmann::json exchange(const Call& call, const std::string& authorization_token);
  // Renews the session refused with `expired_token`: with the master token, or by logging in
  // again once the warehouse refuses that too (expired or unknown). Single-flight: when another
  // caller renewed meanwhile, nothing is sent. Throws SnowflakeError when renewal and login fail,
  // or the renewal answer holds no session token (the old token is then kept).
  void renew_session(const std::string& expired_token);
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

// The account's host name, from the host override or the account identifier.
std::string account_host_name(const ConnectionOptions& options);

// Why `protocol` may not reach `host`: anything but "https", or "http" to a host that is not a
// loopback host (a password or token would travel in clear). nullopt when it may.
std::optional<std::string> protocol_refusal(std::string_view protocol, std::string_view host);

}  // namespace platform::snowflake
