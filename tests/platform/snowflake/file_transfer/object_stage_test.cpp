// Whole PUT statements against the fake warehouse with object-store stages, the fake object
// store checking each request's credentials and keeping the bytes.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "platform/snowflake/connection.hpp"
#include "platform/snowflake/file_transfer/file_uri.hpp"
#include "platform/snowflake/file_transfer/upload_preparation.hpp"
#include "tests/fakes/object_store/fake_object_store.hpp"
#include "tests/platform/snowflake/fake_warehouse_fixture.hpp"
#include "tests/platform/snowflake/file_transfer/stage_decryption.hpp"
#include "tests/platform/snowflake/file_transfer/test_files.hpp"
#include "tests/support/expect_throw.hpp"

namespace platform::snowflake {
namespace {

namespace fs = std::filesystem;
using osa_test::write_file;

std::string status_of(const QueryResult& result, size_t row) {
  return result.rows.at(row).at(6).as_string();
}

constexpr char kStageKey[] = "MDEyMzQ1Njc4OWFiY2RlZjAxMjM0NTY3ODlhYmNkZWY=";
using Creds = std::vector<std::pair<std::string, std::string>>;

class ObjectStageTest : public osa_test::FakeWarehouseTest {
 protected:
  void SetUp() override {
    FakeWarehouseTest::SetUp();
    const fs::path tls = scratch_.path() / "tls";
    store_ = std::make_unique<fakes::FakeObjectStore>(fakes::FakeObjectStoreOptions{
        .cert_file = (tls / "server.pem").string(), .key_file = (tls / "server.key").string()});
    connection_ = Connection::open(options());
  }
  void TearDown() override {
    connection_.reset();
    store_.reset();
    FakeWarehouseTest::TearDown();
  }

  void use_s3(std::vector<Creds> creds, bool encrypted = true) {
    store_->accept_s3_key("AKID1", "secret-1", "session-1");
    store_->accept_s3_key("AKID2", "secret-2", "session-2");
    fake_->set_stage_location({.location_type = "S3",
                               .end_point = store_->host(),
                               .creds = std::move(creds),
                               .master_key = encrypted ? kStageKey : ""});
  }
  static Creds s3_key(int n) {
    const std::string i = std::to_string(n);
    return {{"AWS_KEY_ID", "AKID" + i},
            {"AWS_SECRET_KEY", "secret-" + i},
            {"AWS_TOKEN", "session-" + i}};
  }

  QueryResult put(const std::string& name, const std::string& stage = "@loads",
                  const std::string& extra = "") {
    return connection_->execute("PUT " +
                                quoted_file_uri((scratch_.path() / "local" / name).string()) + " " +
                                stage + extra);
  }
  std::string local(const std::string& name) const {
    return osa_test::read_file(scratch_.path() / "local" / name);
  }
  void write_local(const std::string& name, const std::string& bytes) {
    write_file(scratch_.path() / "local" / name, bytes);
  }
  // The plain content of a stored object, decrypted with its metadata and the stage key.
  std::string stored_plain(const std::string& key) const {
    const fakes::StoredObject object = store_->objects().at("fake-bucket/stages/" + key);
    std::string gzipped = object.bytes;
    std::string digest;
    if (object.metadata.contains("sfc-digest")) {  // S3, GCS
      digest = object.metadata.at("sfc-digest");
    } else {
      digest = object.metadata.at("sfcdigest");  // Azure
    }
    if (object.metadata.contains("x-amz-key")) {
      gzipped = osa_test::decrypt_stage_file(
          object.bytes, kStageKey, object.metadata.at("x-amz-key"), object.metadata.at("x-amz-iv"));
    } else if (object.metadata.contains("encryptiondata")) {
      const auto envelope = nlohmann::json::parse(object.metadata.at("encryptiondata"));
      EXPECT_EQ(envelope["EncryptionMode"], "FullBlob");
      EXPECT_TRUE(object.metadata.contains("matdesc"));
      gzipped = osa_test::decrypt_stage_file(object.bytes, kStageKey,
                                             envelope["WrappedContentKey"]["EncryptedKey"],
                                             envelope["ContentEncryptionIV"]);
    }
    EXPECT_EQ(digest, file_transfer::sha256_base64(gzipped));
    return key.ends_with(".gz") ? osa_test::gunzip(gzipped) : gzipped;
  }
  // Uploads the five kinds of file the transfer must carry intact and checks what arrived.
  void expect_every_kind_of_file_arrives_intact() {
    write_local("small.csv", "id,name\n1,alpha\n");
    write_local("empty.csv", "");
    write_local("large.csv", osa_test::varied_bytes(4 * 1024 * 1024 + 3));
    write_local("packed.csv.gz", file_transfer::gzip_compress("already,packed\n"));
    for (int i = 1; i <= 3; ++i) {
      write_local("part_" + std::to_string(i) + ".txt", "part " + std::to_string(i));
    }
    for (const char* name : {"small.csv", "empty.csv", "large.csv"}) {
      SCOPED_TRACE(name);
      EXPECT_EQ(status_of(put(name), 0), "UPLOADED");
      EXPECT_EQ(stored_plain(std::string("loads/") + name + ".gz"), local(name));
    }
    EXPECT_EQ(status_of(put("packed.csv.gz"), 0), "UPLOADED");
    EXPECT_EQ(stored_plain("loads/packed.csv.gz"), "already,packed\n");  // sent as it was
    const QueryResult parts = put("part_*.txt", "@loads/parts");
    ASSERT_EQ(parts.rows.size(), 3u);
    for (int i = 1; i <= 3; ++i) {
      EXPECT_EQ(stored_plain("loads/parts/part_" + std::to_string(i) + ".txt.gz"),
                "part " + std::to_string(i));
    }
    EXPECT_TRUE(store_->refusals().empty());
  }

  std::unique_ptr<fakes::FakeObjectStore> store_;
  std::unique_ptr<Connection> connection_;
};

TEST_F(ObjectStageTest, S3UploadsArriveSignedEncryptedAndIntact) {
  use_s3({s3_key(1)});
  expect_every_kind_of_file_arrives_intact();
  const fakes::StoredObject object = store_->objects().at("fake-bucket/stages/loads/small.csv.gz");
  EXPECT_NE(object.metadata.at("x-amz-matdesc").find(R"("keySize":"256")"), std::string::npos);
}

TEST_F(ObjectStageTest, S3SkipsTheSameDigestAndOverwritesWhenAsked) {
  use_s3({s3_key(1)}, /*encrypted=*/false);
  write_local("m.yaml", "version: 1\n");
  EXPECT_EQ(status_of(put("m.yaml"), 0), "UPLOADED");
  EXPECT_EQ(status_of(put("m.yaml"), 0), "SKIPPED");
  EXPECT_EQ(store_->uploads(), 1);
  write_local("m.yaml", "version: 2\n");
  EXPECT_THROW_SUBSTR(put("m.yaml"), SnowflakeError, "with other content");
  EXPECT_EQ(status_of(put("m.yaml", "@loads", " OVERWRITE = TRUE"), 0), "UPLOADED");
  EXPECT_EQ(stored_plain("loads/m.yaml.gz"), "version: 2\n");
}

TEST_F(ObjectStageTest, S3CredentialsThatExpireMidTransferAreRenewedFromTheWarehouse) {
  use_s3({s3_key(1), s3_key(2)});
  store_->expire("AKID1", /*after_uploads=*/1);
  for (int i = 1; i <= 3; ++i)
    write_local("part_" + std::to_string(i) + ".csv", "p" + std::to_string(i));
  const QueryResult result = put("part_*.csv");
  ASSERT_EQ(result.rows.size(), 3u);
  for (size_t i = 0; i < 3; ++i) EXPECT_EQ(status_of(result, i), "UPLOADED");
  for (int i = 1; i <= 3; ++i) {
    EXPECT_EQ(stored_plain("loads/part_" + std::to_string(i) + ".csv.gz"), "p" + std::to_string(i));
  }
  // The statement ran twice: once for the transfer, once more for fresh credentials.
  EXPECT_EQ(requests_to("/queries/v1/query-request").size(), 2u);
  ASSERT_FALSE(store_->refusals().empty());
  EXPECT_NE(store_->refusals()[0].find("expired"), std::string::npos);
}

TEST_F(ObjectStageTest, S3TransientFailuresAreRetriedAndRefusalsNameTheFile) {
  use_s3({s3_key(1)});
  write_local("a.csv", "1\n");
  store_->fail_next(503, 2);
  EXPECT_EQ(status_of(put("a.csv"), 0), "UPLOADED");
  EXPECT_GE(waits_.size(), 2u);

  // Credentials the store does not know: an error naming the file, never a success.
  use_s3({{{"AWS_KEY_ID", "AKID1"}, {"AWS_SECRET_KEY", "wrong"}, {"AWS_TOKEN", "session-1"}}});
  write_local("b.csv", "2\n");
  try {
    put("b.csv");
    ADD_FAILURE() << "a refused upload reported success";
  } catch (const SnowflakeError& error) {
    const std::string text = error.what();
    // The look-up before the upload is refused first (a HEAD answer has no error code).
    EXPECT_NE(text.find("b.csv failed: Checking b.csv.gz on the stage failed: the stage's "
                        "storage answered HTTP 403"),
              std::string::npos)
        << text;
    for (const char* secret : {"wrong", "session-1"})
      EXPECT_EQ(text.find(secret), std::string::npos);
  }
  EXPECT_FALSE(store_->objects().contains("fake-bucket/stages/loads/b.csv.gz"));

  // Credentials that stay expired: asked for anew a few times, then an error.
  use_s3({s3_key(1)});
  store_->expire("AKID1");
  EXPECT_THROW_SUBSTR(put("b.csv"), SnowflakeError,
                      "b.csv failed: the stage credentials have expired");
}

TEST_F(ObjectStageTest, AzureUploadsCarryTheSasTokenAndTheEnvelope) {
  const std::string sas = "sv=2021-08-06&se=2030-01-01T00%3A00%3A00Z&sp=rwc&sig=Zm9v%2Bbar%3D";
  store_->accept_sas(sas);
  store_->accept_sas("sv=2021-08-06&sig=second");
  fake_->set_stage_location({.location_type = "AZURE",
                             .end_point = store_->host(),
                             .storage_account = "fakeaccount",
                             .creds = {{{"AZURE_SAS_TOKEN", "?" + sas}},
                                       {{"AZURE_SAS_TOKEN", "?sv=2021-08-06&sig=second"}}},
                             .master_key = kStageKey});
  expect_every_kind_of_file_arrives_intact();
  const auto envelope = nlohmann::json::parse(
      store_->objects().at("fake-bucket/stages/loads/small.csv.gz").metadata.at("encryptiondata"));
  EXPECT_EQ(envelope["EncryptionAgent"]["EncryptionAlgorithm"], "AES_CBC_128");

  write_local("again.csv", "x");
  EXPECT_EQ(status_of(put("again.csv"), 0), "UPLOADED");
  EXPECT_EQ(status_of(put("again.csv"), 0), "SKIPPED");
  // An expired SAS token is replaced by the one the warehouse gives next.
  store_->expire(sas);
  fake_->set_stage_location({.location_type = "AZURE",
                             .end_point = store_->host(),
                             .storage_account = "fakeaccount",
                             .creds = {{{"AZURE_SAS_TOKEN", "?" + sas}},
                                       {{"AZURE_SAS_TOKEN", "?sv=2021-08-06&sig=second"}}}});
  write_local("late.csv", "late");
  EXPECT_EQ(status_of(put("late.csv"), 0), "UPLOADED");
  EXPECT_EQ(stored_plain("loads/late.csv.gz"), "late");
}

TEST_F(ObjectStageTest, GcsUploadsWithAnAccessToken) {
  store_->accept_bearer("gcs-token-1");
  store_->accept_bearer("gcs-token-2");
  fake_->set_stage_location(
      {.location_type = "GCS",
       .end_point = "https://" + store_->host(),
       .creds = {{{"GCS_ACCESS_TOKEN", "gcs-token-1"}}, {{"GCS_ACCESS_TOKEN", "gcs-token-2"}}},
       .master_key = kStageKey});
  expect_every_kind_of_file_arrives_intact();
  const fakes::StoredObject object = store_->objects().at("fake-bucket/stages/loads/small.csv.gz");
  EXPECT_EQ(object.content_encoding, "");  // no "gzip": the store must not recode the file
  const auto envelope = nlohmann::json::parse(object.metadata.at("encryptiondata"));
  EXPECT_EQ(envelope["EncryptionAgent"]["EncryptionAlgorithm"], "AES_CBC_256");

  store_->expire("gcs-token-1");
  write_local("late.csv", "late");
  EXPECT_EQ(status_of(put("late.csv"), 0), "UPLOADED");
  EXPECT_EQ(stored_plain("loads/late.csv.gz"), "late");
}

TEST_F(ObjectStageTest, GcsWithoutATokenAsksForAPresignedAddressPerFile) {
  store_->accept_presigned_signature("presigned-ok");
  fake_->set_stage_location({.location_type = "GCS",
                             .creds = {{}},
                             .master_key = kStageKey,
                             .presigned_prefix = "https://" + store_->host() + "/presigned/",
                             .presigned_signature = "presigned-ok"});
  for (int i = 1; i <= 3; ++i) write_local("p" + std::to_string(i) + ".csv", std::to_string(i));
  const QueryResult result = put("p*.csv");
  ASSERT_EQ(result.rows.size(), 3u);
  for (int i = 1; i <= 3; ++i) {
    EXPECT_EQ(stored_plain("loads/p" + std::to_string(i) + ".csv.gz"), std::to_string(i));
  }
  // The statement, then once more for each file's address.
  const auto statements = requests_to("/queries/v1/query-request");
  ASSERT_EQ(statements.size(), 4u);
  EXPECT_NE(nlohmann::json::parse(statements[1].body)["sqlText"].get<std::string>().find(
                "'file://p1.csv.gz' @loads"),
            std::string::npos);
}

}  // namespace
}  // namespace platform::snowflake
