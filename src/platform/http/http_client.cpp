#include "platform/http/http_client.hpp"

#include <arpa/inet.h>
#include <curl/curl.h>
#include <netinet/in.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <random>

#include "platform/cancellation/cancellation_scope.hpp"
#include "platform/text/ascii_case.hpp"
#include "platform/text/trim.hpp"

namespace platform::http {
namespace {

using platform::text::trim;

// libcurl (and OpenSSL under it) is initialised while the program loads, on its loading thread,
// never by the first thread that happens to make a request: a background thread (the trace
// exporter's) that initialised it would leave state behind that no thread frees.
const bool curl_initialised = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;

// The answer body, kept up to its limit; a write past it makes libcurl stop the transfer.
struct BodySink {
  std::string& body;
  std::size_t max_bytes;
  bool overflowed = false;
};

size_t write_body(char* data, size_t size, size_t count, void* user) {
  auto* sink = static_cast<BodySink*>(user);
  const size_t bytes = size * count;
  if (bytes > sink->max_bytes - sink->body.size()) {
    sink->overflowed = true;
    return 0;
  }
  sink->body.append(data, bytes);
  return bytes;
}

Result cancelled() {
  return Result::failure(TransportError::kCancelled, "the request was cancelled");
}

// libcurl asks about once a second, and on every block of data, whether to go on.
int keep_going(void*, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  return CancellationScope::cancellation_requested() ? 1 : 0;
}

size_t write_header(char* data, size_t size, size_t count, void* user) {
  auto* response = static_cast<Response*>(user);
  const std::string_view line(data, size * count);
  // A new status line (after a redirect or "100 Continue") starts a new header block.
  if (line.starts_with("HTTP/")) {
    response->headers.clear();
  } else if (const auto colon = line.find(':'); colon != std::string_view::npos) {
    response->headers.push_back(
        {std::string(trim(line.substr(0, colon))), std::string(trim(line.substr(colon + 1)))});
  }
  return size * count;
}

TransportError classify(CURLcode code) {
  switch (code) {
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_CONNECT:
    case CURLE_GOT_NOTHING:
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_PARTIAL_FILE:
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM:
      return TransportError::kConnectionFailed;
    case CURLE_URL_MALFORMAT:
    case CURLE_UNSUPPORTED_PROTOCOL:
      return TransportError::kRefusedUrl;
    case CURLE_OPERATION_TIMEDOUT:
      return TransportError::kTimeout;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CACERT_BADFILE:
      return TransportError::kTls;
    default:
      return TransportError::kOther;
  }
}

const char* ca_bundle_from_env() {
  for (const char* name : {"SSL_CERT_FILE", "CURL_CA_BUNDLE"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return value;
  }
  return nullptr;
}

struct CurlDeleter {
  void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct SlistDeleter {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
struct UrlDeleter {
  void operator()(CURLU* url) const { curl_url_cleanup(url); }
};

std::string url_part(CURLU* url, CURLUPart part) {
  char* text = nullptr;
  if (curl_url_get(url, part, &text, 0) != CURLUE_OK || text == nullptr) return "";
  std::string copy(text);
  curl_free(text);
  return copy;
}

// A Retry-After number of seconds as a delay, clamped to [0, kMaxRetryAfter]; nullopt for a
// negative or not-a-number value. `out_of_range` marks a number beyond a double's reach.
std::optional<std::chrono::milliseconds> seconds_delay(double seconds, std::string_view text,
                                                       bool out_of_range) {
  using std::chrono::milliseconds;
  if (out_of_range) {
    if (text.starts_with('-')) return std::nullopt;
    const bool tiny =
        text.find("e-") != std::string_view::npos || text.find("E-") != std::string_view::npos;
    return tiny ? milliseconds(0) : kMaxRetryAfter;
  }
  if (!(seconds >= 0)) return std::nullopt;
  const double max_seconds = static_cast<double>(kMaxRetryAfter.count()) / 1000;
  if (seconds >= max_seconds) return kMaxRetryAfter;
  return milliseconds(static_cast<long long>(seconds * 1000));
}

}  // namespace

std::optional<std::string> Response::header(std::string_view name) const {
  for (const auto& header : headers) {
    if (text::equals_ignore_case(header.name, name)) return header.value;
  }
  return std::nullopt;
}

std::string_view to_string(TransportError error) {
  switch (error) {
    case TransportError::kNone:
      return "none";
    case TransportError::kConnectionFailed:
      return "connection failed";
    case TransportError::kTimeout:
      return "timeout";
    case TransportError::kTls:
      return "TLS failure";
    case TransportError::kRefusedUrl:
      return "refused URL";
    case TransportError::kTooLarge:
      return "answer too large";
    case TransportError::kCancelled:
      return "cancelled";
    case TransportError::kOther:
      return "transport failure";
  }
  return "transport failure";
}

bool is_transient(TransportError error) {
  return error == TransportError::kConnectionFailed || error == TransportError::kTimeout;
}

bool is_loopback_host(std::string_view host) {
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']') {
    host = host.substr(1, host.size() - 2);
  }
  if (text::equals_ignore_case(host, "localhost") || text::equals_ignore_case(host, "localhost."))
    return true;
  const std::string text(host);
  in_addr v4{};
  if (inet_pton(AF_INET, text.c_str(), &v4) == 1) return (ntohl(v4.s_addr) >> 24) == 127;
  in6_addr v6{};
  return inet_pton(AF_INET6, text.c_str(), &v6) == 1 && IN6_IS_ADDR_LOOPBACK(&v6);
}

std::optional<std::string> url_refusal(const std::string& url, Schemes schemes) {
  if (trim(url).empty()) return "the URL is empty";
  std::unique_ptr<CURLU, UrlDeleter> parsed(curl_url());
  if (!parsed || curl_url_set(parsed.get(), CURLUPART_URL, url.c_str(), CURLU_NON_SUPPORT_SCHEME) !=
                     CURLUE_OK) {
    return "the URL is malformed";
  }
  const std::string scheme = url_part(parsed.get(), CURLUPART_SCHEME);
  if (scheme != "http" && scheme != "https") {
    return "only http and https URLs are fetched, not " + scheme + ":";
  }
  if (scheme == "http" && schemes == Schemes::kHttpsOrLoopbackHttp) {
    const std::string host = url_part(parsed.get(), CURLUPART_HOST);
    if (!is_loopback_host(host)) {
      return "plain http to " + host +
             " is refused (only a loopback host is reached without TLS); use https";
    }
  }
  return std::nullopt;
}

Result Result::success(Response response) {
  Result result;
  result.response_ = std::move(response);
  return result;
}

Result Result::failure(TransportError error, std::string message) {
  Result result;
  result.error_ = error;
  result.message_ = std::move(message);
  return result;
}

Result perform(const Request& request) {
  if (auto refusal = url_refusal(request.url, request.schemes)) {
    return Result::failure(TransportError::kRefusedUrl, std::move(*refusal));
  }
  if (CancellationScope::cancellation_requested()) return cancelled();
  if (!curl_initialised) return Result::failure(TransportError::kOther, "could not start libcurl");
  std::unique_ptr<CURL, CurlDeleter> handle(curl_easy_init());
  if (!handle) return Result::failure(TransportError::kOther, "could not create an HTTP handle");
  CURL* curl = handle.get();

  std::unique_ptr<curl_slist, SlistDeleter> header_list;
  for (const auto& header : request.headers) {
    const std::string line =
        header.value.empty() ? header.name + ";" : header.name + ": " + header.value;
    header_list.reset(curl_slist_append(header_list.release(), line.c_str()));
  }
  // libcurl would otherwise add "Expect: 100-continue" to large bodies and wait for it.
  header_list.reset(curl_slist_append(header_list.release(), "Expect:"));

  Response response;
  BodySink sink{.body = response.body, .max_bytes = request.max_body_bytes};
  char error_buffer[CURL_ERROR_SIZE] = {};
  curl_easy_setopt(curl, CURLOPT_URL, request.url.c_str());
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, request.method.c_str());
  if (request.method == "HEAD") curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
  if (!request.body.empty() || request.method == "POST" || request.method == "PUT") {
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, request.body.data());
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE,
                     static_cast<curl_off_t>(request.body.size()));
  }
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, header_list.get());
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS,
                   static_cast<long>(request.connect_timeout.count()));
  curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(request.total_timeout.count()));
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, write_body);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &sink);
  curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, write_header);
  curl_easy_setopt(curl, CURLOPT_HEADERDATA, &response);
  curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, error_buffer);
  curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, keep_going);
  curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
  if (request.decode_content) curl_easy_setopt(curl, CURLOPT_ACCEPT_ENCODING, "");
  if (const char* ca_bundle = ca_bundle_from_env()) {
    curl_easy_setopt(curl, CURLOPT_CAINFO, ca_bundle);
  }

  const CURLcode code = curl_easy_perform(curl);
  if (code == CURLE_WRITE_ERROR && sink.overflowed) {
    return Result::failure(TransportError::kTooLarge, "the answer is larger than the limit of " +
                                                          std::to_string(request.max_body_bytes) +
                                                          " bytes");
  }
  if (code == CURLE_ABORTED_BY_CALLBACK) return cancelled();
  if (code != CURLE_OK) {
    std::string message = error_buffer[0] != '\0' ? error_buffer : curl_easy_strerror(code);
    return Result::failure(classify(code), std::move(message));
  }
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &response.status);
  return Result::success(std::move(response));
}

std::optional<std::chrono::milliseconds> parse_retry_after(std::string_view value) {
  value = trim(value);
  if (value.empty()) return std::nullopt;
  double seconds = 0;
  const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), seconds);
  const bool out_of_range = error == std::errc::result_out_of_range;
  if ((error == std::errc() || out_of_range) && end == value.data() + value.size()) {
    return seconds_delay(seconds, value, out_of_range);
  }
  std::tm when = {};
  const std::string text(value);
  if (strptime(text.c_str(), "%a, %d %b %Y %H:%M:%S GMT", &when) == nullptr) return std::nullopt;
  const std::time_t target = timegm(&when);
  const std::time_t now = std::time(nullptr);
  if (target == static_cast<std::time_t>(-1) || target <= now) return std::chrono::milliseconds(0);
  return seconds_delay(static_cast<double>(target - now), value, false);
}

bool is_retryable_status(long status) {
  return status == 408 || status == 429 || (status >= 500 && status < 600);
}

Result perform_with_retries(const Request& request, const RetryPolicy& policy) {
  using Clock = std::chrono::steady_clock;
  thread_local std::mt19937 random(std::random_device{}());
  std::chrono::milliseconds backoff = policy.initial_backoff;
  Attempt attempt;
  for (;; ++attempt.number) {
    Request sent = request;
    if (policy.prepare_attempt) policy.prepare_attempt(sent, attempt);
    if (policy.deadline != Clock::time_point::max()) {
      // Rounded up, so that an attempt cut short by the deadline ends no earlier than it.
      const auto left =
          std::chrono::ceil<std::chrono::milliseconds>(policy.deadline - Clock::now());
      if (left <= std::chrono::milliseconds(0)) {
        return Result::failure(TransportError::kTimeout,
                               "the time allowed for the request ran out before it was sent");
      }
      sent.total_timeout = std::min(sent.total_timeout, left);
      sent.connect_timeout = std::min(sent.connect_timeout, left);
    }
    Result result = perform(sent);
    const bool retryable =
        result.ok() ? policy.retry_status && policy.retry_status(result.response().status)
                    : is_transient(result.error());
    if (!retryable || attempt.number >= policy.max_retries ||
        CancellationScope::cancellation_requested()) {
      return result;
    }

    std::chrono::milliseconds delay = backoff;
    std::optional<std::chrono::milliseconds> asked;
    if (result.ok()) {
      if (auto retry_after = result.response().header("Retry-After")) {
        asked = parse_retry_after(*retry_after);
      }
    }
    if (asked) {
      delay = *asked;
    } else {
      std::uniform_real_distribution<double> spread(0.0, policy.jitter);
      delay += std::chrono::milliseconds(static_cast<long long>(delay.count() * spread(random)));
    }
    delay = std::min(delay, policy.max_backoff);
    if (policy.deadline != Clock::time_point::max() && Clock::now() + delay >= policy.deadline) {
      return result;
    }
    if (policy.sleep) {
      policy.sleep(delay);
    } else {
      CancellationScope::sleep_unless_cancelled(delay);
    }
    if (CancellationScope::cancellation_requested()) return cancelled();
    backoff = std::min(backoff * 2, policy.max_backoff);
    attempt.retry_reason = result.ok() ? result.response().status : 0;
  }
}

}  // namespace platform::http
