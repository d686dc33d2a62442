#include "platform/snowflake/file_transfer/sigv4.hpp"
#include "platform/http/percent_encoding.hpp"
#include "platform/text/ascii_case.hpp"

#include <openssl/hmac.h>
#include <openssl/sha.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <ctime>

namespace platform::snowflake::file_transfer {
namespace {

std::string hex(const unsigned char* bytes, size_t size) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  text.reserve(size * 2);
  for (size_t i = 0; i < size; ++i) {
    text.push_back(kDigits[bytes[i] >> 4]);
    text.push_back(kDigits[bytes[i] & 15]);
  }
  return text;
}

std::string hmac_sha256(std::string_view key, std::string_view data) {
  std::array<unsigned char, EVP_MAX_MD_SIZE> out{};
  unsigned int size = 0;
  HMAC(EVP_sha256(), key.data(), static_cast<int>(key.size()),
       reinterpret_cast<const unsigned char*>(data.data()), data.size(), out.data(), &size);
  return std::string(reinterpret_cast<const char*>(out.data()), size);
}

// Trims the value and folds each inner run of spaces to one.
std::string canonical_value(std::string_view value) {
  std::string result;
  bool in_space = false;
  for (const char c : value) {
    if (c == ' ' || c == '\t') {
      in_space = !result.empty();
      continue;
    }
    if (in_space) result += ' ';
    in_space = false;
    result += c;
  }
  return result;
}

}  // namespace

std::string sha256_hex(std::string_view data) {
  std::array<unsigned char, SHA256_DIGEST_LENGTH> digest{};
  SHA256(reinterpret_cast<const unsigned char*>(data.data()), data.size(), digest.data());
  return hex(digest.data(), digest.size());
}

std::string amz_date(std::chrono::system_clock::time_point when) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
  std::tm utc{};
  gmtime_r(&seconds, &utc);
  char text[17];
  std::strftime(text, sizeof text, "%Y%m%dT%H%M%SZ", &utc);
  return text;
}

SigV4Signature sign_v4(const SigV4Request& request, const SigV4Credentials& credentials,
                       std::string_view region, std::string_view service,
                       std::string_view amz_date) {
  std::vector<std::pair<std::string, std::string>> query;
  for (const auto& [name, value] : request.query) {
    query.emplace_back(http::percent_encode(name), http::percent_encode(value));
  }
  std::sort(query.begin(), query.end());
  std::string canonical_query;
  for (const auto& [name, value] : query) {
    canonical_query += (canonical_query.empty() ? "" : "&") + name + "=" + value;
  }

  std::vector<std::pair<std::string, std::string>> headers;
  for (const auto& [name, value] : request.headers) {
    headers.emplace_back(text::to_ascii_lower(name), canonical_value(value));
  }
  std::sort(headers.begin(), headers.end());
  std::string canonical_headers;
  SigV4Signature result;
  for (const auto& [name, value] : headers) {
    canonical_headers += name + ":" + value + "\n";
    result.signed_headers += (result.signed_headers.empty() ? "" : ";") + name;
  }

  result.canonical_request = request.method + "\n" + request.canonical_uri + "\n" +
                             canonical_query + "\n" + canonical_headers + "\n" +
                             result.signed_headers + "\n" + request.payload_hash;
  const std::string date(amz_date.substr(0, 8));
  const std::string scope =
      date + "/" + std::string(region) + "/" + std::string(service) + "/aws4_request";
  result.string_to_sign = "AWS4-HMAC-SHA256\n" + std::string(amz_date) + "\n" + scope + "\n" +
                          sha256_hex(result.canonical_request);

  std::string key = hmac_sha256("AWS4" + credentials.secret_access_key, date);
  key = hmac_sha256(key, region);
  key = hmac_sha256(key, service);
  key = hmac_sha256(key, "aws4_request");
  const std::string signature = hmac_sha256(key, result.string_to_sign);
  result.signature =
      hex(reinterpret_cast<const unsigned char*>(signature.data()), signature.size());
  result.authorization = "AWS4-HMAC-SHA256 Credential=" + credentials.access_key_id + "/" + scope +
                         ",SignedHeaders=" + result.signed_headers +
                         ",Signature=" + result.signature;
  return result;
}

}  // namespace platform::snowflake::file_transfer
