#include "platform/snowflake/file_transfer/file_encryption.hpp"

#include <openssl/evp.h>
#include <openssl/rand.h>

#include <nlohmann/json.hpp>

#include <memory>

#include "platform/snowflake/snowflake_error.hpp"
#include "platform/text/base64.hpp"

namespace platform::snowflake::file_transfer {
namespace {

constexpr size_t kIvSize = 16;

[[noreturn]] void fail(const std::string& why) {
  throw SnowflakeError::connector_failure("Encrypting a file for the stage failed: " + why);
}

const EVP_CIPHER* cipher(size_t key_size, bool chained) {
  switch (key_size) {
    case 16:
      return chained ? EVP_aes_128_cbc() : EVP_aes_128_ecb();
    case 24:
      return chained ? EVP_aes_192_cbc() : EVP_aes_192_ecb();
    case 32:
      return chained ? EVP_aes_256_cbc() : EVP_aes_256_ecb();
    default:
      fail("the stage key is not 128, 192 or 256 bits long");
  }
}

// AES with PKCS#7 padding, in CBC mode with `iv`, or in ECB mode when `iv` is empty.
std::string aes_encrypt(std::string_view plain, const std::string& key, const std::string& iv) {
  std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> context(EVP_CIPHER_CTX_new(),
                                                                          EVP_CIPHER_CTX_free);
  if (!context) fail("no cipher context");
  const auto* key_bytes = reinterpret_cast<const unsigned char*>(key.data());
  const auto* iv_bytes = iv.empty() ? nullptr : reinterpret_cast<const unsigned char*>(iv.data());
  if (EVP_EncryptInit_ex(context.get(), cipher(key.size(), !iv.empty()), nullptr, key_bytes,
                         iv_bytes) != 1) {
    fail("the cipher cannot start");
  }
  std::string out(plain.size() + kIvSize, '\0');
  int written = 0, final_written = 0;
  auto* out_bytes = reinterpret_cast<unsigned char*>(out.data());
  if (EVP_EncryptUpdate(context.get(), out_bytes, &written,
                        reinterpret_cast<const unsigned char*>(plain.data()),
                        static_cast<int>(plain.size())) != 1 ||
      EVP_EncryptFinal_ex(context.get(), out_bytes + written, &final_written) != 1) {
    fail("the cipher failed");
  }
  out.resize(static_cast<size_t>(written + final_written));
  return out;
}

std::string random_bytes(size_t count) {
  std::string bytes(count, '\0');
  if (RAND_bytes(reinterpret_cast<unsigned char*>(bytes.data()), static_cast<int>(count)) != 1) {
    fail("no randomness");
  }
  return bytes;
}

std::string decode_key(const std::string& text) {
  std::unique_ptr<EVP_ENCODE_CTX, decltype(&EVP_ENCODE_CTX_free)> context(EVP_ENCODE_CTX_new(),
                                                                          EVP_ENCODE_CTX_free);
  std::string out(text.size(), '\0');
  int written = 0, final_written = 0;
  EVP_DecodeInit(context.get());
  auto* out_bytes = reinterpret_cast<unsigned char*>(out.data());
  if (EVP_DecodeUpdate(context.get(), out_bytes, &written,
                       reinterpret_cast<const unsigned char*>(text.data()),
                       static_cast<int>(text.size())) < 0 ||
      EVP_DecodeFinal(context.get(), out_bytes + written, &final_written) != 1) {
    fail("the stage key is not base64");
  }
  out.resize(static_cast<size_t>(written + final_written));
  return out;
}

}  // namespace

EncryptedFile encrypt_for_stage(std::string_view plain, const EncryptionMaterial& material) {
  const std::string stage_key = decode_key(material.query_stage_master_key);
  cipher(stage_key.size(), true);  // rejects other key lengths before any work
  const std::string file_key = random_bytes(stage_key.size());
  const std::string iv = random_bytes(kIvSize);

  EncryptedFile sealed;
  sealed.bytes = aes_encrypt(plain, file_key, iv);
  sealed.envelope.key_bits = static_cast<int>(stage_key.size() * 8);
  sealed.envelope.wrapped_key = text::base64(aes_encrypt(file_key, stage_key, ""));
  sealed.envelope.iv = text::base64(iv);
  nlohmann::ordered_json matdesc;
  matdesc["smkId"] = material.smk_id;
  matdesc["queryId"] = material.query_id;
  matdesc["keySize"] = std::to_string(sealed.envelope.key_bits);
  sealed.envelope.matdesc = matdesc.dump();
  return sealed;
}

}  // namespace platform::snowflake::file_transfer
