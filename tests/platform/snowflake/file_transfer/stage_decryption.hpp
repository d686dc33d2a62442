// Undoes a stage file's client-side encryption with the stage key, written from the envelope's
// description (AES-ECB wrapped file key, AES-CBC data, PKCS#7 padding), for tests.
#pragma once

#include <openssl/evp.h>

#include <memory>
#include <stdexcept>
#include <string>

namespace osa_test {

inline std::string base64_decode(const std::string& text) {
  std::string out(text.size(), '\0');
  const int written = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                      reinterpret_cast<const unsigned char*>(text.data()),
                                      static_cast<int>(text.size()));
  if (written < 0) throw std::runtime_error("not base64");
  size_t padding = 0;
  while (padding < text.size() && text[text.size() - 1 - padding] == '=') ++padding;
  out.resize(static_cast<size_t>(written) - padding);
  return out;
}

inline std::string aes_decrypt(const std::string& data, const std::string& key,
                               const std::string& iv) {
  const bool cbc = !iv.empty();
  const EVP_CIPHER* cipher = key.size() == 16   ? (cbc ? EVP_aes_128_cbc() : EVP_aes_128_ecb())
                             : key.size() == 24 ? (cbc ? EVP_aes_192_cbc() : EVP_aes_192_ecb())
                                                : (cbc ? EVP_aes_256_cbc() : EVP_aes_256_ecb());
  std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> context(EVP_CIPHER_CTX_new(),
                                                                          EVP_CIPHER_CTX_free);
  std::string out(data.size() + 32, '\0');
  int written = 0, last = 0;
  auto* bytes = reinterpret_cast<unsigned char*>(out.data());
  if (EVP_DecryptInit_ex(context.get(), cipher, nullptr,
                         reinterpret_cast<const unsigned char*>(key.data()),
                         cbc ? reinterpret_cast<const unsigned char*>(iv.data()) : nullptr) != 1 ||
      EVP_DecryptUpdate(context.get(), bytes, &written,
                        reinterpret_cast<const unsigned char*>(data.data()),
                        static_cast<int>(data.size())) != 1 ||
      EVP_DecryptFinal_ex(context.get(), bytes + written, &last) != 1) {
    throw std::runtime_error("decryption failed");
  }
  out.resize(static_cast<size_t>(written + last));
  return out;
}

// The plain bytes of a stage file, from the base64 stage key, wrapped file key and IV.
inline std::string decrypt_stage_file(const std::string& data, const std::string& stage_key,
                                      const std::string& wrapped_key, const std::string& iv) {
  const std::string file_key =
      aes_decrypt(base64_decode(wrapped_key), base64_decode(stage_key), "");
  return aes_decrypt(data, file_key, base64_decode(iv));
}

}  // namespace osa_test
