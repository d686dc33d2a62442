#include "tests/fakes/snowflake/jwt_verifier.hpp"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/sha.h>
#include <openssl/x509.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <nlohmann/json.hpp>
#include <vector>

#include "platform/text/ascii_case.hpp"
namespace fakes::warehouse {
namespace {

using PublicKey = std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)>;

PublicKey read_public_key(const std::string& pem) {
  std::unique_ptr<BIO, decltype(&BIO_free)> bio(
      BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())), &BIO_free);
  return PublicKey(bio ? PEM_read_bio_PUBKEY(bio.get(), nullptr, nullptr, nullptr) : nullptr,
                   &EVP_PKEY_free);
}

std::optional<std::string> base64url_decode(std::string text) {
  std::replace(text.begin(), text.end(), '-', '+');
  std::replace(text.begin(), text.end(), '_', '/');
  if (text.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/") !=
          std::string::npos ||
      text.size() % 4 == 1) {
    return std::nullopt;
  }
  const size_t padding = (4 - text.size() % 4) % 4;
  text.append(padding, '=');
  std::string decoded(text.size() / 4 * 3, '\0');
  const int length = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(decoded.data()),
                                     reinterpret_cast<const unsigned char*>(text.data()),
                                     static_cast<int>(text.size()));
  if (length < 0) return std::nullopt;
  decoded.resize(static_cast<size_t>(length) - padding);
  return decoded;
}

bool signature_matches(EVP_PKEY* key, const std::string& signed_part,
                       const std::string& signature) {
  std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(),
                                                                  &EVP_MD_CTX_free);
  return context && EVP_DigestVerifyInit(context.get(), nullptr, EVP_sha256(), nullptr, key) == 1 &&
         EVP_DigestVerify(context.get(), reinterpret_cast<const unsigned char*>(signature.data()),
                          signature.size(),
                          reinterpret_cast<const unsigned char*>(signed_part.data()),
                          signed_part.size()) == 1;
}

// Seconds since the epoch from a claim that may hold seconds or milliseconds.
std::optional<double> epoch_seconds(const nlohmann::json& claims, const char* name) {
  if (!claims.contains(name) || !claims[name].is_number()) return std::nullopt;
  const double value = claims[name].get<double>();
  return value > 1e11 ? value / 1000 : value;
}

}  // namespace

std::string public_key_fingerprint(const std::string& public_key_pem) {
  const PublicKey key = read_public_key(public_key_pem);
  if (!key) return "";
  unsigned char* der = nullptr;
  const int length = i2d_PUBKEY(key.get(), &der);
  if (length <= 0) return "";
  unsigned char digest[SHA256_DIGEST_LENGTH];
  SHA256(der, static_cast<size_t>(length), digest);
  OPENSSL_free(der);
  std::string encoded(4 * ((SHA256_DIGEST_LENGTH + 2) / 3), '\0');
  EVP_EncodeBlock(reinterpret_cast<unsigned char*>(encoded.data()), digest, SHA256_DIGEST_LENGTH);
  return "SHA256:" + encoded;
}

std::optional<std::string> login_jwt_problem(const std::string& token,
                                             const std::string& public_key_pem,
                                             const std::string& account, const std::string& user,
                                             std::chrono::system_clock::time_point now) {
  const PublicKey key = read_public_key(public_key_pem);
  if (!key) return "no public key is registered for the user";
  const auto first_dot = token.find('.');
  const auto second_dot =
      first_dot == std::string::npos ? first_dot : token.find('.', first_dot + 1);
  if (second_dot == std::string::npos || token.find('.', second_dot + 1) != std::string::npos) {
    return "the token is not three dot-separated parts";
  }
  const auto header_text = base64url_decode(token.substr(0, first_dot));
  const auto claims_text =
      base64url_decode(token.substr(first_dot + 1, second_dot - first_dot - 1));
  const auto signature = base64url_decode(token.substr(second_dot + 1));
  if (!header_text || !claims_text || !signature) return "a token part is not base64url";
  const auto header = nlohmann::json::parse(*header_text, nullptr, false);
  const auto claims = nlohmann::json::parse(*claims_text, nullptr, false);
  if (!header.is_object() || !claims.is_object()) return "a token part is not a JSON object";
  if (header.value("alg", "") != "RS256") return "the algorithm is not RS256";
  if (!signature_matches(key.get(), token.substr(0, second_dot), *signature)) {
    return "the signature does not match the registered public key";
  }
  const std::string subject =
      platform::text::to_ascii_upper(account) + "." + platform::text::to_ascii_upper(user);
  if (claims.value("sub", "") != subject) return "the subject is not " + subject;
  if (claims.value("iss", "") != subject + "." + public_key_fingerprint(public_key_pem)) {
    return "the issuer does not name the registered key's fingerprint";
  }
  const auto expiry = epoch_seconds(claims, "exp");
  const double now_seconds = std::chrono::duration<double>(now.time_since_epoch()).count();
  if (!expiry || *expiry < now_seconds) return "the token has expired";
  const auto issued = epoch_seconds(claims, "iat");
  if (!issued || *issued > now_seconds + 60) return "the token is issued in the future";
  return std::nullopt;
}

}  // namespace fakes::warehouse
