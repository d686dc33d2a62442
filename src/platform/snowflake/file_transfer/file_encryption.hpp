// Client-side encryption of a file bound for an encrypted stage, with the key material the
// warehouse hands out for the PUT.
//
//   EncryptedFile sealed = encrypt_for_stage(file.bytes, *put.encryption_material);
//   sealed.bytes;                // AES-CBC (PKCS#7 padding) under a fresh random file key
//   sealed.envelope.wrapped_key; // base64 of the file key, AES-ECB encrypted with the stage key
//   sealed.envelope.iv;          // base64 of the random 16-byte IV
//   sealed.envelope.matdesc;     // {"smkId":"...","queryId":"...","keySize":"128"}
//
// The file key has the stage key's length (16, 24 or 32 bytes). Throws
// platform::snowflake::SnowflakeError for a stage key that is not base64 of such a length, or
// when OpenSSL fails; key bytes never reach a message.
#pragma once

#include <string>
#include <string_view>

#include "platform/snowflake/file_transfer/put_instructions.hpp"

namespace platform::snowflake::file_transfer {

struct EncryptionEnvelope {
  std::string wrapped_key;
  std::string iv;
  std::string matdesc;
  int key_bits = 0;
};

struct EncryptedFile {
  std::string bytes;
  EncryptionEnvelope envelope;
};

EncryptedFile encrypt_for_stage(std::string_view plain, const EncryptionMaterial& material);

}  // namespace platform::snowflake::file_transfer
