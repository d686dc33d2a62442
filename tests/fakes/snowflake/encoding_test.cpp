// The fake warehouse's own tricky parts: declared types, cell encodings and JWT checks.
#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <sqlite3.h>

#include <memory>
#include <nlohmann/json.hpp>

#include "tests/fakes/snowflake/cell_encoding.hpp"
#include "tests/fakes/snowflake/jwt_verifier.hpp"
#include "tests/fakes/snowflake/sql_engine.hpp"
#include "tests/support/expect_throw.hpp"

namespace fakes::warehouse {
namespace {

SqliteValue text(std::string bytes) { return {SQLITE_TEXT, 0, 0, std::move(bytes)}; }
SqliteValue integer(std::int64_t value) { return {SQLITE_INTEGER, value, 0, ""}; }
SqliteValue real(double value) { return {SQLITE_FLOAT, 0, value, ""}; }

std::string cell(const char* declared, const SqliteValue& value) {
  return encode_cell(*column_type_from_declared(declared), value).value_or("<null>");
}

TEST(ColumnType, ReadsPrecisionScaleAndLengthFromDeclaredTypes) {
  const auto number = column_type_from_declared("number(10, 2)");
  EXPECT_EQ(number->type, "fixed");
  EXPECT_EQ(number->precision, 10);
  EXPECT_EQ(number->scale, 2);
  EXPECT_EQ(column_type_from_declared("BIGINT")->precision, 38);
  EXPECT_EQ(column_type_from_declared("varchar(10)")->byte_length, 40);
  EXPECT_EQ(column_type_from_declared("TIMESTAMP_TZ(3)")->scale, 3);
  EXPECT_EQ(column_type_from_declared("DATETIME")->type, "timestamp_ntz");
  EXPECT_EQ(column_type_from_declared("Double Precision")->type, "real");
  EXPECT_FALSE(column_type_from_declared("GEOGRAPHY").has_value());
  EXPECT_FALSE(column_type_from_declared("").has_value());
}

TEST(CellEncoding, WritesNumbersWithTheColumnScale) {
  EXPECT_EQ(cell("NUMBER(10,2)", integer(42)), "42.00");
  EXPECT_EQ(cell("NUMBER(10,2)", real(3.5)), "3.50");
  EXPECT_EQ(cell("NUMBER(10,2)", real(-0.125)), "-0.13");  // half away from zero
  EXPECT_EQ(cell("NUMBER(10,2)", real(-0.001)), "0.00");   // no negative zero
  EXPECT_EQ(cell("NUMBER(38,0)", text("99999999999999999999")), "99999999999999999999");
  EXPECT_EQ(cell("NUMBER(5,1)", text("9.96")), "10.0");
  EXPECT_EQ(cell("INTEGER", integer(-7)), "-7");
  EXPECT_EQ(cell("DOUBLE", real(0.1)), "0.1");
  EXPECT_EQ(cell("DOUBLE", real(1e300)), "1e+300");
  EXPECT_EQ(cell("DOUBLE", integer(2)), "2");
  EXPECT_THROW_MSG(cell("NUMBER", text("abc")), CellError, "Numeric value 'abc' is not recognized");
}

TEST(CellEncoding, WritesDatesAndTimesAsEpochNumbers) {
  EXPECT_EQ(cell("DATE", text("1970-01-01")), "0");
  EXPECT_EQ(cell("DATE", text("2024-02-29")), "19782");
  EXPECT_EQ(cell("DATE", text("1969-12-31")), "-1");
  EXPECT_EQ(cell("TIME", text("01:02:03.5")), "3723.500000000");
  EXPECT_EQ(cell("TIME(0)", text("23:59:59")), "86399");
  EXPECT_EQ(cell("TIMESTAMP_NTZ", text("2023-11-14 22:13:20.123")), "1700000000.123000000");
  EXPECT_EQ(cell("TIMESTAMP_NTZ(3)", text("1969-12-31 23:59:59.5")), "-0.500");
  // NTZ keeps the wall clock; LTZ and TZ hold the instant, TZ adds offset minutes + 1440.
  EXPECT_EQ(cell("TIMESTAMP_NTZ(0)", text("2023-11-14T23:13:20+01:00")), "1700003600");
  EXPECT_EQ(cell("TIMESTAMP_LTZ(0)", text("2023-11-14T23:13:20+01:00")), "1700000000");
  EXPECT_EQ(cell("TIMESTAMP_TZ(0)", text("2023-11-14T23:13:20+01:00")), "1700000000 1500");
  EXPECT_EQ(cell("TIMESTAMP_TZ(1)", text("2023-11-14 14:13:20.25 -08:00")), "1700000000.2 960");
  EXPECT_EQ(cell("TIMESTAMP_TZ(0)", text("2023-11-14 22:13:20Z")), "1700000000 1440");
  EXPECT_EQ(cell("TIMESTAMP_TZ(0)", integer(1700000000)), "1700000000 1440");
  EXPECT_THROW_MSG(cell("DATE", text("2024-13-01")), CellError,
                   "Date '2024-13-01' is not recognized");
  EXPECT_THROW_MSG(cell("TIME", text("25:00:00")), CellError, "Time '25:00:00' is not recognized");
}

TEST(CellEncoding, WritesBooleansBinaryAndDocuments) {
  EXPECT_EQ(cell("BOOLEAN", integer(1)), "1");
  EXPECT_EQ(cell("BOOLEAN", text("FALSE")), "0");
  EXPECT_EQ(cell("BINARY", SqliteValue{SQLITE_BLOB, 0, 0, std::string("\xde\xad\x00\x01", 4)}),
            "DEAD0001");
  EXPECT_EQ(cell("VARIANT", text("{\"a\":1}")), "{\"a\":1}");
  EXPECT_EQ(cell("VARIANT", integer(5)), "5");
  EXPECT_EQ(cell("TEXT", SqliteValue{}), "<null>");
  EXPECT_THROW_SUBSTR(cell("BOOLEAN", text("maybe")), CellError, "maybe");
}

TEST(SqlEngine, TypesExpressionsByValueAndShapesNonQueries) {
  SqlEngine engine("");
  const auto created = engine.execute("CREATE TABLE t (d DATE, \"MixedCase\" INT)", nullptr);
  EXPECT_EQ(created.statement_type_id, 0x6000);
  EXPECT_EQ(created.rows.at(0).at(0), "Statement executed successfully.");
  const auto inserted =
      engine.execute("INSERT INTO t VALUES (?, ?), ('2024-01-02', 2)",
                     nlohmann::json{{"1", {{"type", "TEXT"}, {"value", "1970-01-02"}}},
                                    {"2", {{"type", "FIXED"}, {"value", "1"}}}});
  EXPECT_EQ(inserted.statement_type_id, 0x3100);
  EXPECT_EQ(inserted.columns.at(0).name, "number of rows inserted");
  EXPECT_EQ(inserted.rows.at(0).at(0), "2");

  const auto result = engine.execute(
      "SELECT d, \"MixedCase\", 1.5 AS half, 'x' AS letter, NULL AS empty FROM t ORDER BY d",
      nullptr);
  ASSERT_EQ(result.columns.size(), 5u);
  EXPECT_EQ(result.columns[0].name, "D");
  EXPECT_EQ(result.columns[0].table, "T");
  EXPECT_EQ(result.columns[0].type.type, "date");
  EXPECT_EQ(result.columns[1].name, "MixedCase");
  EXPECT_EQ(result.columns[2].type.type, "real");
  EXPECT_EQ(result.columns[3].type.type, "text");
  EXPECT_EQ(result.columns[4].type.type, "text");
  EXPECT_EQ(result.rows[0][0], "1");
  EXPECT_EQ(result.rows[1][1], "2");
  EXPECT_EQ(result.rows[0][4], std::nullopt);

  EXPECT_EQ(engine.execute("USE WAREHOUSE anything", nullptr).statement_type_id, 0x6000);
  try {
    engine.execute("SELECT 1; SELECT 2", nullptr);
    FAIL() << "two statements ran as one";
  } catch (const StatementError& error) {
    EXPECT_EQ(error.code(), "000008");
    EXPECT_STREQ(error.what(),
                 "Actual statement count 2 did not match the desired statement count 1.");
  }
  engine.execute("INSERT INTO t VALUES ('not a date', 3)", nullptr);
  try {
    engine.execute("SELECT d FROM t", nullptr);
    FAIL() << "an unreadable date was sent";
  } catch (const StatementError& error) {
    EXPECT_EQ(error.code(), "100040");
    EXPECT_EQ(error.sql_state(), "22007");
  }
}

// Signs claims RS256 with a fresh RSA key; the test holds the matching public key.
class JwtTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    key_ = EVP_RSA_gen(2048);
    other_key_ = EVP_RSA_gen(2048);
  }
  static void TearDownTestSuite() {
    EVP_PKEY_free(key_);
    EVP_PKEY_free(other_key_);
  }

  static std::string public_pem(EVP_PKEY* key) {
    std::unique_ptr<BIO, decltype(&BIO_free)> bio(BIO_new(BIO_s_mem()), &BIO_free);
    PEM_write_bio_PUBKEY(bio.get(), key);
    char* data = nullptr;
    const long length = BIO_get_mem_data(bio.get(), &data);
    return std::string(data, static_cast<size_t>(length));
  }

  static std::string base64url(const std::string& bytes) {
    std::string encoded(4 * ((bytes.size() + 2) / 3) + 1, '\0');
    const int length = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(encoded.data()),
                                       reinterpret_cast<const unsigned char*>(bytes.data()),
                                       static_cast<int>(bytes.size()));
    encoded.resize(static_cast<size_t>(length));
    while (!encoded.empty() && encoded.back() == '=') encoded.pop_back();
    for (char& c : encoded) c = c == '+' ? '-' : c == '/' ? '_' : c;
    return encoded;
  }

  static std::string sign(const nlohmann::json& claims, EVP_PKEY* key) {
    const std::string signed_part =
        base64url(R"({"alg":"RS256","typ":"JWT"})") + "." + base64url(claims.dump());
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(),
                                                                    &EVP_MD_CTX_free);
    size_t length = 0;
    EVP_DigestSignInit(context.get(), nullptr, EVP_sha256(), nullptr, key);
    EVP_DigestSign(context.get(), nullptr, &length,
                   reinterpret_cast<const unsigned char*>(signed_part.data()), signed_part.size());
    std::string signature(length, '\0');
    EVP_DigestSign(context.get(), reinterpret_cast<unsigned char*>(signature.data()), &length,
                   reinterpret_cast<const unsigned char*>(signed_part.data()), signed_part.size());
    signature.resize(length);
    return signed_part + "." + base64url(signature);
  }

  nlohmann::json claims(double issued, double expires) const {
    return {{"iss", "MYORG-ACCT.ME." + public_key_fingerprint(public_pem(key_))},
            {"sub", "MYORG-ACCT.ME"},
            {"iat", issued},
            {"exp", expires}};
  }

  std::optional<std::string> problem(const std::string& token) const {
    return login_jwt_problem(token, public_pem(key_), "myorg-acct", "me", now_);
  }

  static inline EVP_PKEY* key_ = nullptr;
  static inline EVP_PKEY* other_key_ = nullptr;
  std::chrono::system_clock::time_point now_ = std::chrono::system_clock::from_time_t(1700000000);
};

TEST_F(JwtTest, AcceptsTokensWithSecondsOrMilliseconds) {
  EXPECT_EQ(problem(sign(claims(1700000000, 1700000120), key_)), std::nullopt);
  EXPECT_EQ(problem(sign(claims(1700000000000.0, 1700000120000.0), key_)), std::nullopt);
  EXPECT_TRUE(public_key_fingerprint(public_pem(key_)).starts_with("SHA256:"));
  EXPECT_EQ(public_key_fingerprint(public_pem(key_)).size(), 7u + 44u);
}

TEST_F(JwtTest, RefusesForgedExpiredOrMisaddressedTokens) {
  EXPECT_EQ(problem(sign(claims(1700000000, 1700000120), other_key_)),
            "the signature does not match the registered public key");
  EXPECT_EQ(problem(sign(claims(1699990000, 1699990120), key_)), "the token has expired");
  auto wrong_issuer = claims(1700000000, 1700000120);
  wrong_issuer["iss"] = "MYORG-ACCT.ME." + public_key_fingerprint(public_pem(other_key_));
  EXPECT_EQ(problem(sign(wrong_issuer, key_)),
            "the issuer does not name the registered key's fingerprint");
  auto wrong_subject = claims(1700000000, 1700000120);
  wrong_subject["sub"] = "MYORG-ACCT.SOMEONE";
  EXPECT_EQ(problem(sign(wrong_subject, key_)), "the subject is not MYORG-ACCT.ME");

  std::string tampered = sign(claims(1700000000, 1700000120), key_);
  tampered[tampered.find('.') + 3] ^= 1;
  EXPECT_TRUE(problem(tampered).has_value());
  EXPECT_EQ(problem("not-a-token"), "the token is not three dot-separated parts");
  EXPECT_EQ(login_jwt_problem("a.b.c", "", "a", "b", now_),
            "no public key is registered for the user");
}

}  // namespace
}  // namespace fakes::warehouse
