// Where each object-store stage client sends a file, for the addresses the tests' fake store
// cannot stand in for (real host names).
#include <gtest/gtest.h>

#include "platform/snowflake/file_transfer/azure_storage.hpp"
#include "platform/snowflake/file_transfer/gcs_storage.hpp"
#include "platform/snowflake/file_transfer/s3_storage.hpp"
#include "platform/snowflake/snowflake_error.hpp"
#include "tests/support/expect_throw.hpp"

namespace platform::snowflake::file_transfer {
namespace {

TEST(StageAddress, S3UsesTheBucketAsASubDomainExceptBeforeAnIpAddress) {
  struct Case {
    StageInfo stage;
    std::string host, path;
  };
  const Case cases[] = {
      {{.location = "sfc-stage/acct/stages/x", .region = "us-west-2"},
       "sfc-stage.s3.us-west-2.amazonaws.com",
       "/acct/stages/x/a%20b.csv.gz"},
      {{.location = "bucket/p/", .region = "cn-north-1"},
       "bucket.s3.cn-north-1.amazonaws.com.cn",
       "/p/a%20b.csv.gz"},
      {{.location = "bucket", .region = ""}, "bucket.s3.us-east-1.amazonaws.com", "/a%20b.csv.gz"},
      {{.location = "bucket/p/",
        .region = "us-gov-west-1",
        .end_point = "s3-fips.us-gov-west-1.amazonaws.com"},
       "bucket.s3-fips.us-gov-west-1.amazonaws.com",
       "/p/a%20b.csv.gz"},
      {{.location = "bucket/p/", .end_point = "https://127.0.0.1:9000/"},
       "127.0.0.1:9000",
       "/bucket/p/a%20b.csv.gz"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stage.location + " " + c.stage.end_point);
    const S3Address address = s3_address(c.stage, "a b.csv.gz");
    EXPECT_EQ(address.host, c.host);
    EXPECT_EQ(address.path, c.path);
  }
}

TEST(StageAddress, AzureNamesTheAccountAndContainer) {
  EXPECT_EQ(azure_blob_url({.location = "container/p/", .storage_account = "acct"}, "f.gz"),
            "https://acct.blob.core.windows.net/container/p/f.gz");
  EXPECT_EQ(
      azure_blob_url(
          {.location = "c/p", .end_point = "core.usgovcloudapi.net", .storage_account = "acct"},
          "f.gz"),
      "https://acct.blob.core.usgovcloudapi.net/c/p/f.gz");
  EXPECT_EQ(
      azure_blob_url(
          {.location = "c/p/", .end_point = "blob.core.windows.net", .storage_account = "acct"},
          "f.gz"),
      "https://acct.blob.core.windows.net/c/p/f.gz");
  EXPECT_EQ(
      azure_blob_url({.location = "c/", .end_point = "127.0.0.1:10000", .storage_account = "dev"},
                     "f.gz"),
      "https://127.0.0.1:10000/dev/c/f.gz");
  EXPECT_EQ(azure_blob_url({.location = "c/", .end_point = "https://mock.local/acct"}, "f.gz"),
            "https://mock.local/acct/c/f.gz");
  EXPECT_THROW_SUBSTR(azure_blob_url({.location = "c/"}, "f.gz"), SnowflakeError,
                      "no Azure storage account");
}

TEST(StageAddress, GcsPicksTheEndpointTheStageAsksFor) {
  EXPECT_EQ(gcs_object_url({.location = "bucket/p/"}, "f 1.gz"),
            "https://storage.googleapis.com/bucket/p/f%201.gz");
  EXPECT_EQ(gcs_object_url({.location = "bucket/p/", .use_virtual_url = true}, "f.gz"),
            "https://bucket.storage.googleapis.com/p/f.gz");
  EXPECT_EQ(
      gcs_object_url({.location = "bucket/p/", .region = "ME-CENTRAL2", .use_regional_url = true},
                     "f.gz"),
      "https://storage.me-central2.rep.googleapis.com/bucket/p/f.gz");
  EXPECT_EQ(gcs_object_url({.location = "bucket/p/", .end_point = "storage.example.com"}, "f.gz"),
            "https://storage.example.com/bucket/p/f.gz");
}

}  // namespace
}  // namespace platform::snowflake::file_transfer
