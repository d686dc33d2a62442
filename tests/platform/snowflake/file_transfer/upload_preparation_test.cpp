#include "platform/snowflake/file_transfer/upload_preparation.hpp"

#include <gtest/gtest.h>

#include "platform/snowflake/file_transfer/file_uri.hpp"
#include "platform/snowflake/file_transfer/local_sources.hpp"
#include "platform/snowflake/file_transfer/put_instructions.hpp"
#include "platform/snowflake/file_transfer/put_transfer.hpp"
#include "platform/snowflake/snowflake_error.hpp"
#include "tests/platform/snowflake/file_transfer/test_files.hpp"
#include "tests/support/expect_throw.hpp"
#include "tests/support/paths.hpp"

namespace platform::snowflake::file_transfer {
namespace {

using osa_test::write_file;

TEST(Wildcards, MatchStarsAndQuestionMarks) {
  struct Case {
    const char* pattern;
    const char* name;
    bool matches;
  };
  const Case cases[] = {
      {"*.csv", "a.csv", true},
      {"*.csv", "a.csv.gz", false},
      {"a?c", "abc", true},
      {"a?c", "ac", false},
      {"*", "", true},
      {"a*b*c", "aXbYbZc", true},
      {"a*b*c", "aXbYbZ", false},
      {"data_*", "data_", true},
      {"**x", "yyx", true},
      {"exact.txt", "exact.txt", true},
      {"exact.txt", "Exact.txt", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(matches_wildcard(c.pattern, c.name), c.matches) << c.pattern << " / " << c.name;
  }
}

TEST(Sources, ExpandAWildcardToSortedRegularFilesButNotHiddenOnes) {
  osa_test::ScratchDir dir;
  for (const char* name : {"b.csv", "a.csv", "c.csv", ".hidden.csv", "notes.txt"}) {
    write_file(dir.path() / name, "x");
  }
  std::filesystem::create_directory(dir.path() / "d.csv");
  const auto files = expand_sources((dir.path() / "*.csv").string());
  ASSERT_EQ(files.size(), 3u);
  EXPECT_EQ(files[0].name, "a.csv");
  EXPECT_EQ(files[2].name, "c.csv");
  EXPECT_EQ(files[1].size, 1u);
  EXPECT_EQ(expand_sources((dir.path() / ".h*").string()).size(), 1u);
}

TEST(Sources, NameTheLocationWhenNothingIsThere) {
  osa_test::ScratchDir dir;
  const std::string missing = (dir.path() / "missing.csv").string();
  EXPECT_THROW_SUBSTR(expand_sources(missing), SnowflakeError,
                      missing + ": the file does not exist");
  EXPECT_THROW_SUBSTR(expand_sources((dir.path() / "*.csv").string()), SnowflakeError,
                      "no file matches");
  EXPECT_THROW_SUBSTR(expand_sources((dir.path() / "no/dir/x.csv").string()), SnowflakeError,
                      "its directory does not exist");
  EXPECT_THROW_SUBSTR(expand_sources(dir.path().string() + "/"), SnowflakeError,
                      "the file does not exist");
}

class PreparationTest : public ::testing::Test {
 protected:
  SourceFile source(const std::string& name, const std::string& bytes) {
    write_file(dir_.path() / name, bytes);
    return expand_sources((dir_.path() / name).string()).at(0);
  }
  osa_test::ScratchDir dir_;
};

TEST_F(PreparationTest, CompressesAPlainFileAndDigestsWhatIsSent) {
  const std::string text = osa_test::varied_bytes(5000);
  const PreparedFile file = prepare_upload(source("model.yaml", text), {});
  EXPECT_EQ(file.source, "model.yaml");
  EXPECT_EQ(file.target, "model.yaml.gz");
  EXPECT_EQ(file.source_size, 5000u);
  EXPECT_EQ(file.source_compression, "NONE");
  EXPECT_EQ(file.target_compression, "GZIP");
  EXPECT_EQ(osa_test::gunzip(file.bytes), text);
  EXPECT_EQ(file.digest, sha256_base64(file.bytes));
  // No time stamp in the header: the same file always gives the same digest.
  EXPECT_EQ(file.bytes.substr(4, 4), std::string(4, '\0'));
  EXPECT_EQ(prepare_upload(source("model.yaml", text), {}).digest, file.digest);
}

TEST_F(PreparationTest, SendsCompressedFilesAsTheyAre) {
  const std::string packed = gzip_compress("a,b\n1,2\n");
  for (const char* name : {"rows.csv.gz", "rows_without_suffix"}) {
    SCOPED_TRACE(name);
    const PreparedFile file = prepare_upload(source(name, packed), {});
    EXPECT_EQ(file.target, name);
    EXPECT_EQ(file.source_compression, "GZIP");
    EXPECT_EQ(file.target_compression, "GZIP");
    EXPECT_EQ(file.bytes, packed);
  }
  EXPECT_EQ(prepare_upload(source("t.zst", "\x28\xb5\x2f\xfdxx"), {}).target_compression, "ZSTD");
  EXPECT_EQ(prepare_upload(source("t.parquet", "PAR1...."), {}).target, "t.parquet");
}

TEST_F(PreparationTest, FollowsTheDeclaredCompressionAndAutoCompressOff) {
  const SourceFile plain = source("a.csv", "1,2\n");
  const PreparedFile as_is = prepare_upload(plain, {.auto_compress = false});
  EXPECT_EQ(as_is.target, "a.csv");
  EXPECT_EQ(as_is.bytes, "1,2\n");
  EXPECT_EQ(as_is.target_compression, "NONE");
  EXPECT_EQ(as_is.digest, sha256_base64("1,2\n"));

  const PreparedFile declared = prepare_upload(plain, {.source_compression = "gzip"});
  EXPECT_EQ(declared.target, "a.csv");
  EXPECT_EQ(declared.target_compression, "GZIP");
  // "none": treated as plain even though the bytes look like gzip.
  const PreparedFile forced =
      prepare_upload(source("b.gz", gzip_compress("x")), {.source_compression = "none"});
  EXPECT_EQ(forced.target, "b.gz.gz");

  const SourceFile xz = source("a.xz",
                               "\xfd"
                               "7zXZ");
  EXPECT_THROW_SUBSTR(prepare_upload(xz, {}), SnowflakeError,
                      xz.path.string() + " failed: XZ is not a supported compression type");
  EXPECT_THROW_SUBSTR(prepare_upload(plain, {.source_compression = "rar"}), SnowflakeError,
                      "rar is not a compression type");
}

TEST_F(PreparationTest, AnEmptyFileStillBecomesAValidGzipStream) {
  const PreparedFile file = prepare_upload(source("empty.txt", ""), {});
  EXPECT_EQ(file.source_size, 0u);
  EXPECT_EQ(osa_test::gunzip(file.bytes), "");
  EXPECT_EQ(sha256_base64(""), "47DEQpj8HBSa+/TImW+5JCeuQeRkm5NMpJWZG3hSuFU=");
}

TEST(PutInstructions, ReadsTheServersAnswer) {
  const auto data = nlohmann::json::parse(R"({
    "command": "UPLOAD", "src_locations": ["/tmp/a*.csv"], "autoCompress": false,
    "sourceCompression": "gzip", "parallel": 4, "overwrite": true,
    "stageInfo": {"locationType": "S3", "location": "bucket/p/", "region": "us-east-1",
                  "endPoint": null, "creds": {"AWS_KEY_ID": "k", "AWS_SECRET_KEY": "s"},
                  "useS3RegionalUrl": true},
    "encryptionMaterial": {"queryStageMasterKey": "AAAA", "queryId": "q", "smkId": 12345678901234567891}})");
  const PutInstructions put = parse_put_instructions(data);
  EXPECT_EQ(put.src_locations, std::vector<std::string>{"/tmp/a*.csv"});
  EXPECT_FALSE(put.auto_compress);
  EXPECT_EQ(put.source_compression, "gzip");
  EXPECT_TRUE(put.overwrite);
  EXPECT_EQ(put.stage_info.location_type, "S3");
  EXPECT_EQ(put.stage_info.end_point, "");
  EXPECT_TRUE(put.stage_info.use_regional_url);
  EXPECT_EQ(put.stage_info.creds.at("AWS_SECRET_KEY"), "s");
  ASSERT_TRUE(put.encryption_material);
  // Beyond 2^63 and still exact.
  EXPECT_EQ(put.encryption_material->smk_id, "12345678901234567891");
}

TEST(PutInstructions, RefuseAnythingButAnUploadWithFilesAndAStage) {
  const char* answers[] = {
      R"({"command": "DOWNLOAD", "src_locations": ["x"], "stageInfo": {"locationType": "S3"}})",
      R"({"command": "UPLOAD", "src_locations": [], "stageInfo": {"locationType": "S3"}})",
      R"({"command": "UPLOAD", "src_locations": ["x"]})",
      R"({"command": "UPLOAD", "src_locations": ["x"], "stageInfo": {"locationType": "S3"},
          "overwrite": "yes"})",
  };
  for (const char* answer : answers) {
    EXPECT_THROW_SUBSTR(parse_put_instructions(nlohmann::json::parse(answer)), SnowflakeError,
                        "The warehouse's PUT answer is malformed");
  }
}

TEST(FileUri, QuotesPathsSoTheyCannotEndTheStatement) {
  EXPECT_EQ(quoted_file_uri("/tmp/a.yaml"), "'file:///tmp/a.yaml'");
  EXPECT_EQ(quoted_file_uri("/tmp/it's; DROP\n\\x"), "'file:///tmp/it\\'s; DROP\n\\\\x'");
  EXPECT_EQ(
      statement_for_single_file("PUT 'file:///tmp/a b\\'c*.csv' @s OVERWRITE = TRUE", "a b.csv.gz"),
      "PUT 'file://a b.csv.gz' @s OVERWRITE = TRUE");
  EXPECT_EQ(statement_for_single_file("  put file:///tmp/x*.csv @s", "x1.csv.gz"),
            "  put 'file://x1.csv.gz' @s");
}

}  // namespace
}  // namespace platform::snowflake::file_transfer
