// The JSON Web Token of key-pair login: RS256-signed, issued by "<ACCOUNT>.<USER>.<fingerprint>"
// for the subject "<ACCOUNT>.<USER>", valid for two minutes.
//
//   std::string jwt = make_key_pair_jwt("myorg-myacct", "analyst", pem, "", std::time(nullptr));
//
// The fingerprint is "SHA256:" and the standard base64 of the SHA-256 digest of the public
// key's DER SubjectPublicKeyInfo. Account (its part before any ".region") and user are written
// in upper case. The key may be PKCS#8 or PKCS#1 PEM, encrypted when a passphrase is given.
//
// Throws platform::ValueError when the key cannot be read or is no RSA key; the message never
// holds the key or the passphrase. Thread-safe.
#pragma once

#include <ctime>
#include <string>
#include <string_view>

namespace platform::snowflake {

inline constexpr int kJwtLifetimeSeconds = 120;

std::string make_key_pair_jwt(std::string_view account, std::string_view user,
                              std::string_view private_key_pem, std::string_view passphrase,
                              std::time_t now);

// "SHA256:<base64>" of the public half of the private key.
std::string public_key_fingerprint(std::string_view private_key_pem, std::string_view passphrase);

}  // namespace platform::snowflake
