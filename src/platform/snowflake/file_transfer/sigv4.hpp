// AWS Signature Version 4 for requests to S3-style object stores, in the header form.
//
//   SigV4Request request{.method = "PUT", .canonical_uri = "/bucket/a%20b.gz",
//                        .headers = {{"host", "s3.example.com"}, {"x-amz-date", amz_date},
//                                    {"x-amz-content-sha256", sha256_hex(body)}},
//                        .payload_hash = sha256_hex(body)};
//   SigV4Signature signed = sign_v4(request, credentials, "us-west-2", "s3", amz_date);
//   headers.push_back({"Authorization", signed.authorization});
//
// Every header given is signed (names lower-cased, values trimmed with inner runs of spaces
// folded to one, sorted by name). Pure functions, safe from any thread; the secret key appears
// only inside the HMAC, never in a returned text.
#pragma once

#include <chrono>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform::snowflake::file_transfer {

struct SigV4Credentials {
  std::string access_key_id;
  std::string secret_access_key;
  std::string session_token;  // empty when the credentials are not temporary
};

struct SigV4Request {
  std::string method;
  std::string canonical_uri;  // the path as sent, already URI-encoded ("/test%24file.text")
  std::vector<std::pair<std::string, std::string>> query;  // decoded names and values
  std::vector<std::pair<std::string, std::string>> headers;
  std::string payload_hash;  // hex SHA-256 of the body
};

struct SigV4Signature {
  std::string canonical_request;
  std::string string_to_sign;
  std::string signed_headers;  // "host;x-amz-content-sha256;x-amz-date"
  std::string signature;       // hex
  std::string authorization;   // the Authorization header's value
};

// `amz_date` is the request's x-amz-date ("20130524T000000Z"); its first 8 characters are the
// date of the credential scope.
SigV4Signature sign_v4(const SigV4Request& request, const SigV4Credentials& credentials,
                       std::string_view region, std::string_view service,
                       std::string_view amz_date);

// "20130524T000000Z" for the given instant, in UTC.
std::string amz_date(std::chrono::system_clock::time_point when);

std::string sha256_hex(std::string_view data);

}  // namespace platform::snowflake::file_transfer
