#include "platform/snowflake/key_pair_jwt.hpp"

#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/sha.h>

#include <sstream>

#include <nlohmann/json.hpp>

#include "platform/errors/errors.hpp"
#include "platform/snowflake/internal/encoding.hpp"
#include "platform/text/base64.hpp"
#include "tests/platform/snowflake/test_keys.hpp"
#include "tests/support/expect_throw.hpp"

namespace platform::snowflake {
namespace {

std::string base64url_decode(std::string text) {
  for (char& c : text) {
    if (c == '-') c = '+';
    if (c == '_') c = '/';
  }
  while (text.size() % 4 != 0) text += '=';
  std::string bytes(text.size(), '\0');
  const int length = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(bytes.data()),
                                     reinterpret_cast<const unsigned char*>(text.data()),
                                     static_cast<int>(text.size()));
  bytes.resize(static_cast<size_t>(length));
  const size_t padding = text.size() - text.find_last_not_of('=') - 1;
  bytes.resize(bytes.size() - padding);
  return bytes;
}

bool verify_rs256(const std::string& public_pem, const std::string& data,
                  const std::string& signature) {
  std::unique_ptr<BIO, decltype(&BIO_free)> bio(
      BIO_new_mem_buf(public_pem.data(), static_cast<int>(public_pem.size())), BIO_free);
  std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> key(
      PEM_read_bio_PUBKEY(bio.get(), nullptr, nullptr, nullptr), EVP_PKEY_free);
  std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(),
                                                                  EVP_MD_CTX_free);
  return EVP_DigestVerifyInit(context.get(), nullptr, EVP_sha256(), nullptr, key.get()) == 1 &&
         EVP_DigestVerify(context.get(), reinterpret_cast<const unsigned char*>(signature.data()),
                          signature.size(), reinterpret_cast<const unsigned char*>(data.data()),
                          data.size()) == 1;
}

// The fingerprint computed independently: SHA-256 over the DER of the public key PEM's body.
std::string fingerprint_of_public_pem(const std::string& public_pem) {
  std::string body;
  std::istringstream lines(public_pem);
  for (std::string line; std::getline(lines, line);) {
    if (!line.starts_with("-----")) body += line;
  }
  const std::string der = base64url_decode(body);
  unsigned char digest[SHA256_DIGEST_LENGTH];
  SHA256(reinterpret_cast<const unsigned char*>(der.data()), der.size(), digest);
  return "SHA256:" + text::base64(std::string(reinterpret_cast<char*>(digest), sizeof(digest)));
}

class KeyPairJwt : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    keys_ = new osa_test::TestKeyPair(osa_test::make_test_key_pair());
  }
  static void TearDownTestSuite() { delete keys_; }
  static osa_test::TestKeyPair* keys_;
};
osa_test::TestKeyPair* KeyPairJwt::keys_ = nullptr;

TEST_F(KeyPairJwt, IsSignedRs256WithIssuerSubjectAndLifetime) {
  const std::string jwt =
      make_key_pair_jwt("myorg-myacct.us-east-1", "analyst", keys_->private_pkcs8, "", 1700000000);
  const size_t first_dot = jwt.find('.');
  const size_t second_dot = jwt.find('.', first_dot + 1);
  ASSERT_NE(second_dot, std::string::npos);
  EXPECT_EQ(nlohmann::json::parse(base64url_decode(jwt.substr(0, first_dot))),
            nlohmann::json::parse(R"({"alg":"RS256","typ":"JWT"})"));
  const auto payload = nlohmann::json::parse(
      base64url_decode(jwt.substr(first_dot + 1, second_dot - first_dot - 1)));
  const std::string fingerprint = fingerprint_of_public_pem(keys_->public_pem);
  EXPECT_EQ(payload["iss"], "MYORG-MYACCT.ANALYST." + fingerprint);
  EXPECT_EQ(payload["sub"], "MYORG-MYACCT.ANALYST");
  EXPECT_EQ(payload["iat"], 1700000000);
  EXPECT_EQ(payload["exp"], 1700000000 + kJwtLifetimeSeconds);
  EXPECT_TRUE(verify_rs256(keys_->public_pem, jwt.substr(0, second_dot),
                           base64url_decode(jwt.substr(second_dot + 1))));
}

TEST_F(KeyPairJwt, ReadsPkcs1AndEncryptedKeysToTheSameFingerprint) {
  const std::string expected = fingerprint_of_public_pem(keys_->public_pem);
  EXPECT_EQ(public_key_fingerprint(keys_->private_pkcs8, ""), expected);
  EXPECT_EQ(public_key_fingerprint(keys_->private_pkcs1, ""), expected);
  EXPECT_EQ(public_key_fingerprint(keys_->private_encrypted, keys_->passphrase), expected);
}

TEST_F(KeyPairJwt, FailsWithoutEchoingKeyOrPassphrase) {
  EXPECT_THROW_MSG(public_key_fingerprint(keys_->private_encrypted, "wrong guess"),
                   platform::ValueError,
                   "Could not read the private key: not a PEM private key, or the passphrase is "
                   "wrong");
  EXPECT_THROW_MSG(public_key_fingerprint(keys_->private_encrypted, ""), platform::ValueError,
                   "Could not read the private key: not a PEM private key, or it is encrypted and "
                   "no passphrase was given");
  EXPECT_THROW_SUBSTR(make_key_pair_jwt("a", "u", "not a key", "", 0), platform::ValueError,
                      "Could not read the private key");
}

}  // namespace
}  // namespace platform::snowflake
