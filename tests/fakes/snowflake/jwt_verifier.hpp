// Verifies the token of a key-pair login (authenticator SNOWFLAKE_JWT) the way the warehouse
// does: an RS256 signature by the private key matching the configured public key, issuer
// "<ACCOUNT>.<USER>.SHA256:<base64 SHA-256 of the public key's DER SubjectPublicKeyInfo>",
// subject "<ACCOUNT>.<USER>" (both upper-cased), and an expiry not yet passed. "iat" and "exp"
// may be seconds or milliseconds since the epoch (clients differ).
//
//   auto problem = fakes::warehouse::login_jwt_problem(token, pem, "myacct", "me", now);
//   if (problem) refuse(*problem);
//
// Thread-safe; throws nothing.
#pragma once

#include <chrono>
#include <optional>
#include <string>

namespace fakes::warehouse {

// Why the token is refused, or nullopt when it is valid.
std::optional<std::string> login_jwt_problem(const std::string& token,
                                             const std::string& public_key_pem,
                                             const std::string& account, const std::string& user,
                                             std::chrono::system_clock::time_point now);

// "SHA256:" + base64 of the SHA-256 digest of the key's DER SubjectPublicKeyInfo; empty when
// the PEM text holds no public key.
std::string public_key_fingerprint(const std::string& public_key_pem);

}  // namespace fakes::warehouse
