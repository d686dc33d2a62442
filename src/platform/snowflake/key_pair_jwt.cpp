#include "platform/snowflake/key_pair_jwt.hpp"

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/sha.h>

#include <cctype>
#include <memory>

#include <nlohmann/json.hpp>

#include "platform/errors/errors.hpp"
#include "platform/text/ascii_case.hpp"
#include "platform/text/base64.hpp"

namespace platform::snowflake {
namespace {

struct KeyDeleter {
  void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct BioDeleter {
  void operator()(BIO* bio) const { BIO_free(bio); }
};
struct DigestContextDeleter {
  void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};
using Key = std::unique_ptr<EVP_PKEY, KeyDeleter>;

// Supplies the passphrase to OpenSSL's PEM reader without it ever being a C string of ours.
int passphrase_callback(char* buffer, int size, int, void* user) {
  const auto* passphrase = static_cast<const std::string_view*>(user);
  const int length = static_cast<int>(std::min<size_t>(passphrase->size(), size_t(size)));
  std::copy_n(passphrase->data(), length, buffer);
  return length;
}

Key read_private_key(std::string_view pem, std::string_view passphrase) {
  std::unique_ptr<BIO, BioDeleter> bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
  if (!bio) throw ValueError("Could not read the private key");
  Key key(PEM_read_bio_PrivateKey(bio.get(), nullptr, passphrase_callback, &passphrase));
  if (!key) {
    throw ValueError(passphrase.empty()
                         ? "Could not read the private key: not a PEM private key, or it is "
                           "encrypted and no passphrase was given"
                         : "Could not read the private key: not a PEM private key, or the "
                           "passphrase is wrong");
  }
  if (EVP_PKEY_get_base_id(key.get()) != EVP_PKEY_RSA) {
    throw ValueError("The private key is not an RSA key, which key-pair login requires");
  }
  return key;
}

std::string fingerprint_of(EVP_PKEY* key) {
  unsigned char* der = nullptr;
  const int length = i2d_PUBKEY(key, &der);
  if (length <= 0) throw ValueError("Could not derive the public key from the private key");
  unsigned char digest[SHA256_DIGEST_LENGTH];
  SHA256(der, static_cast<size_t>(length), digest);
  OPENSSL_free(der);
  return "SHA256:" +
         text::base64(std::string_view(reinterpret_cast<const char*>(digest), sizeof(digest)));
}

std::string sign_rs256(EVP_PKEY* key, std::string_view data) {
  std::unique_ptr<EVP_MD_CTX, DigestContextDeleter> context(EVP_MD_CTX_new());
  size_t length = 0;
  if (!context || EVP_DigestSignInit(context.get(), nullptr, EVP_sha256(), nullptr, key) != 1 ||
      EVP_DigestSign(context.get(), nullptr, &length,
                     reinterpret_cast<const unsigned char*>(data.data()), data.size()) != 1) {
    throw ValueError("Could not sign the login token with the private key");
  }
  std::string signature(length, '\0');
  if (EVP_DigestSign(context.get(), reinterpret_cast<unsigned char*>(signature.data()), &length,
                     reinterpret_cast<const unsigned char*>(data.data()), data.size()) != 1) {
    throw ValueError("Could not sign the login token with the private key");
  }
  signature.resize(length);
  return signature;
}

}  // namespace

std::string public_key_fingerprint(std::string_view private_key_pem, std::string_view passphrase) {
  const Key key = read_private_key(private_key_pem, passphrase);
  return fingerprint_of(key.get());
}

std::string make_key_pair_jwt(std::string_view account, std::string_view user,
                              std::string_view private_key_pem, std::string_view passphrase,
                              std::time_t now) {
  const Key key = read_private_key(private_key_pem, passphrase);
  const std::string subject =
      text::to_ascii_upper(account.substr(0, account.find('.'))) + "." + text::to_ascii_upper(user);
  nlohmann::ordered_json payload;
  payload["iss"] = subject + "." + fingerprint_of(key.get());
  payload["sub"] = subject;
  payload["iat"] = static_cast<std::int64_t>(now);
  payload["exp"] = static_cast<std::int64_t>(now) + kJwtLifetimeSeconds;
  const std::string signing_input =
      text::base64url(R"({"alg":"RS256","typ":"JWT"})") + "." + text::base64url(payload.dump());
  return signing_input + "." + text::base64url(sign_rs256(key.get(), signing_input));
}

}  // namespace platform::snowflake
