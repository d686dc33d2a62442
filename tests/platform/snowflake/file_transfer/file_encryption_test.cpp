#include "platform/snowflake/file_transfer/file_encryption.hpp"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "platform/snowflake/snowflake_error.hpp"
#include "tests/platform/snowflake/file_transfer/stage_decryption.hpp"
#include "tests/platform/snowflake/file_transfer/test_files.hpp"
#include "tests/support/expect_throw.hpp"

namespace platform::snowflake::file_transfer {
namespace {

constexpr char kKey128[] = "MDEyMzQ1Njc4OWFiY2RlZg==";                      // 16 bytes
constexpr char kKey256[] = "MDEyMzQ1Njc4OWFiY2RlZjAxMjM0NTY3ODlhYmNkZWY=";  // 32 bytes

TEST(FileEncryption, SealsWithAFreshKeyThatTheStageKeyUnwraps) {
  for (const char* stage_key : {kKey128, kKey256}) {
    SCOPED_TRACE(stage_key);
    const EncryptionMaterial material{stage_key, "01b2-query", "12345678901234567891"};
    for (const std::string& plain : {std::string(), std::string("abc"), std::string(16, 'x'),
                                     osa_test::varied_bytes(100000)}) {
      const EncryptedFile sealed = encrypt_for_stage(plain, material);
      // PKCS#7 always pads: a whole block is added to a multiple of 16.
      EXPECT_EQ(sealed.bytes.size(), (plain.size() / 16 + 1) * 16);
      EXPECT_EQ(osa_test::decrypt_stage_file(sealed.bytes, stage_key, sealed.envelope.wrapped_key,
                                             sealed.envelope.iv),
                plain);
    }
    const EncryptedFile sealed = encrypt_for_stage("same", material);
    const size_t key_size = osa_test::base64_decode(stage_key).size();
    EXPECT_EQ(osa_test::base64_decode(sealed.envelope.wrapped_key).size(), key_size + 16);
    EXPECT_EQ(osa_test::base64_decode(sealed.envelope.iv).size(), 16u);
    EXPECT_EQ(sealed.envelope.matdesc,
              R"({"smkId":"12345678901234567891","queryId":"01b2-query","keySize":")" +
                  std::to_string(key_size * 8) + "\"}");
    // A fresh file key and IV every time.
    EXPECT_NE(encrypt_for_stage("same", material).bytes, sealed.bytes);
  }
}

TEST(FileEncryption, RefusesAStageKeyOfAnotherLength) {
  EXPECT_THROW_SUBSTR(encrypt_for_stage("x", {"AAAA", "q", "1"}), SnowflakeError,
                      "the stage key is not 128, 192 or 256 bits long");
  EXPECT_THROW_SUBSTR(encrypt_for_stage("x", {"not base64!", "q", "1"}), SnowflakeError,
                      "the stage key is not base64");
}

}  // namespace
}  // namespace platform::snowflake::file_transfer
