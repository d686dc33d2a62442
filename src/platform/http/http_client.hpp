// The shared HTTP client: one blocking request over libcurl, and a retry loop around it.
//
// Transport failures are values (`Result`), never exceptions, so each client above this layer
// (catalogue, warehouse, LLM, tracking) decides itself whether to retry, renew a token or throw.
//
//   platform::http::Request request{.method = "POST", .url = url, .body = json_text};
//   request.headers.push_back({"Content-Type", "application/json"});
//   platform::http::Result result = platform::http::perform_with_retries(request, {});
//   if (!result.ok()) fail(result.error_message());
//   else use(result.response().status, result.response().body);
//
// TLS peers are verified. A CA bundle named by `SSL_CERT_FILE` or `CURL_CA_BUNDLE` replaces
// the system's (tests use a CA they generate). Header values are never logged or put into an
// error text, since they carry tokens. Thread-safe: every call uses its own handle.
//
// Only http and https URLs are ever fetched (libcurl knows many more schemes, file:// among
// them), and a request may narrow that to https or loopback http (`Schemes`). An answer body is
// kept up to `max_body_bytes` after decoding; a larger one fails, so one hostile answer (a gzip
// bomb, an endless stream) cannot exhaust memory. An exchange made inside a CancellationScope
// (platform/cancellation) ends soon after the scope asks to stop.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::http {

struct Header {
  std::string name;
  std::string value;
};

// The default of `Request::max_body_bytes`: 64 MiB of decoded answer.
inline constexpr std::size_t kDefaultMaxBodyBytes = std::size_t{64} << 20;

// The URLs a request may fetch.
enum class Schemes {
  kHttpOrHttps,  // http or https to any host
  // https, or plain http only to a loopback host: for exchanges that carry a secret (a warehouse
  // token or password) or go to an address a server handed us (result chunks, presigned URLs).
  kHttpsOrLoopbackHttp,
};

struct Request {
  std::string method = "GET";
  std::string url;
  std::vector<Header> headers;
  std::string body;
  std::chrono::milliseconds connect_timeout{std::chrono::seconds(10)};
  // The whole exchange, from connecting to the last byte of the answer.
  std::chrono::milliseconds total_timeout{std::chrono::seconds(60)};
  // Let libcurl undo a Content-Encoding (gzip, deflate) of the answer.
  bool decode_content = true;
  Schemes schemes = Schemes::kHttpOrHttps;
  // The most bytes of answer body kept, counted after decoding; more fails with kTooLarge.
  std::size_t max_body_bytes = kDefaultMaxBodyBytes;
};

struct Response {
  long status = 0;
  std::vector<Header> headers;  // as received, in order
  std::string body;

  // The first header of that name, compared without regard to case.
  std::optional<std::string> header(std::string_view name) const;
};

enum class TransportError {
  kNone,
  kConnectionFailed,  // could not resolve or connect, or the peer closed the connection
  kTimeout,
  kTls,
  kRefusedUrl,  // malformed or empty, or a scheme or host the request does not allow; not sent
  kTooLarge,    // the answer body outgrew the request's max_body_bytes
  kCancelled,   // the calling thread's CancellationScope asked to stop; never retried
  kOther,
};

std::string_view to_string(TransportError error);

// Whether a failure may heal when the request is sent again: a connection failure or a timeout.
bool is_transient(TransportError error);

// Whether `host` is "localhost" or a loopback address (127.0.0.0/8, ::1 with or without
// brackets).
bool is_loopback_host(std::string_view host);

// Why `url` may not be fetched under `schemes`, or nullopt when it may. The text names the
// scheme or host, never the whole URL (presigned URLs carry credentials in their query).
std::optional<std::string> url_refusal(const std::string& url, Schemes schemes);

class Result {
 public:
  static Result success(Response response);
  static Result failure(TransportError error, std::string message);

  bool ok() const { return error_ == TransportError::kNone; }
  TransportError error() const { return error_; }
  // What went wrong, e.g. "Timeout was reached"; empty on success. Holds no header values.
  const std::string& error_message() const { return message_; }
  // The answer; only meaningful when ok().
  const Response& response() const { return response_; }
  Response& response() { return response_; }

 private:
  TransportError error_ = TransportError::kNone;
  std::string message_;
  Response response_;
};

// Performs one exchange. Never throws for a transport failure; any status is a success here.
// A URL that `url_refusal` refuses fails with kRefusedUrl before anything is sent.
Result perform(const Request& request);

// Whether an answer's status is worth sending the request again for: 408, 429 and every 5xx.
bool is_retryable_status(long status);

// What the retry loop tells `RetryPolicy::prepare_attempt` before each attempt.
struct Attempt {
  int number = 0;  // 0 for the first attempt, n for the n-th retry
  // Why the attempt before failed: its HTTP status, or 0 for a transport failure; 0 at first.
  long retry_reason = 0;
};

struct RetryPolicy {
  int max_retries = 2;
  std::chrono::milliseconds initial_backoff{500};
  std::chrono::milliseconds max_backoff{std::chrono::seconds(30)};
  // Adds up to this share of each delay at random, so clients do not retry in step.
  double jitter = 0.25;
  // Statuses to retry besides transport failures.
  std::function<bool(long status)> retry_status = is_retryable_status;
  // When the whole exchange must be over, retries and waits included: each attempt's
  // total_timeout is cut to the time left, and a wait that would end past it is not begun.
  std::chrono::steady_clock::time_point deadline = std::chrono::steady_clock::time_point::max();
  // Adapts each attempt, given a fresh copy of the request (a new request id, retry markers in
  // the URL, a freshly signed credential in the body).
  std::function<void(Request& request, const Attempt& attempt)> prepare_attempt;
  // Waits between attempts; tests replace it to run without sleeping. The default wait ends as
  // soon as the calling thread's CancellationScope asks to stop.
  std::function<void(std::chrono::milliseconds)> sleep;
};

// Performs the request, retrying transient transport failures (`is_transient`) and the policy's
// statuses with exponential backoff (a Retry-After in seconds or as an HTTP date wins, capped at
// max_backoff); other failures, a refused URL among them, return at once. Returns the last
// result: a transport failure, or the last answer, whatever its status. When the policy's
// deadline leaves no time for the next wait, that last result is returned at once; when it has
// passed before an attempt, the result is a kTimeout failure. Once the calling thread's
// CancellationScope asks to stop, nothing more is sent or waited for and the result is
// kCancelled.
Result perform_with_retries(const Request& request, const RetryPolicy& policy);

// The longest delay `parse_retry_after` gives; callers cap it further.
inline constexpr std::chrono::milliseconds kMaxRetryAfter{std::chrono::hours(1)};

// The delay a Retry-After value asks for, when it is a number of seconds or an HTTP date, at
// most kMaxRetryAfter (a date in the past asks for none). Negative and not-a-number values give
// nullopt.
std::optional<std::chrono::milliseconds> parse_retry_after(std::string_view value);

}  // namespace platform::http
