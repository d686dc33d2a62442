// Whole PUT statements against the fake warehouse with a LOCAL_FS stage.
#include <gtest/gtest.h>

#include "platform/snowflake/connection.hpp"
#include "platform/snowflake/file_transfer/file_uri.hpp"
#include "platform/snowflake/file_transfer/upload_preparation.hpp"
#include "tests/platform/snowflake/fake_warehouse_fixture.hpp"
#include "tests/platform/snowflake/file_transfer/test_files.hpp"
#include "tests/support/expect_throw.hpp"

namespace platform::snowflake {
namespace {

namespace fs = std::filesystem;
using osa_test::gunzip;
using osa_test::read_file;
using osa_test::write_file;

class LocalStageTest : public osa_test::ConnectedWarehouseTest {
 protected:
  QueryResult put(const fs::path& file, const std::string& stage, const std::string& extra = "") {
    return connection_->execute("PUT " + quoted_file_uri(file.string()) + " " + stage + extra);
  }
  fs::path stage_file(const std::string& relative) const {
    return fs::path(fake_->stage_dir()) / relative;
  }
  fs::path local(const std::string& name) const { return scratch_.path() / "local" / name; }
};

std::string cell(const QueryResult& result, size_t row, const std::string& column) {
  for (size_t i = 0; i < result.columns.size(); ++i) {
    if (result.columns[i].name == column) {
      const Value& value = result.rows.at(row).at(i);
      return value.is_string() ? value.as_string() : std::to_string(value.as_int());
    }
  }
  return "no column " + column;
}

TEST_F(LocalStageTest, UploadsFilesOfEverySizeAndCompressionIntact) {
  const std::string small = "id,name\n1,alpha\n";
  const std::string several_mb = osa_test::varied_bytes(3 * 1024 * 1024 + 17);
  const std::string packed = file_transfer::gzip_compress("already,packed\n");
  write_file(local("small.csv"), small);
  write_file(local("empty.csv"), "");
  write_file(local("large.csv"), several_mb);
  write_file(local("packed.csv.gz"), packed);

  for (const char* name : {"small.csv", "empty.csv", "large.csv"}) {
    SCOPED_TRACE(name);
    const QueryResult result = put(local(name), "@models");
    ASSERT_EQ(result.rows.size(), 1u);
    EXPECT_EQ(cell(result, 0, "status"), "UPLOADED");
    EXPECT_EQ(cell(result, 0, "target"), std::string(name) + ".gz");
    EXPECT_EQ(gunzip(read_file(stage_file(std::string("models/") + name + ".gz"))),
              read_file(local(name)));
  }
  const QueryResult result = put(local("packed.csv.gz"), "@models");
  EXPECT_EQ(cell(result, 0, "target"), "packed.csv.gz");
  EXPECT_EQ(cell(result, 0, "sourceCompression"), "GZIP");
  EXPECT_EQ(read_file(stage_file("models/packed.csv.gz")), packed);
  EXPECT_EQ(
      fake_->executions("PUT " + quoted_file_uri(local("packed.csv.gz").string()) + " @models"), 1);
}

TEST_F(LocalStageTest, AWildcardUploadsEveryMatchWithOneRowEach) {
  for (int i = 1; i <= 3; ++i) {
    write_file(local("part_" + std::to_string(i) + ".csv"), "rows of part " + std::to_string(i));
  }
  write_file(local("other.txt"), "not matched");
  const QueryResult result = put(local("part_*.csv"), "@db.schema.loads/2024/");
  const std::vector<std::string> names{
      "source", "target", "sourceSize", "targetSize", "sourceCompression", "targetCompression",
      "status", "message"};
  ASSERT_EQ(result.columns.size(), names.size());
  for (size_t i = 0; i < names.size(); ++i) EXPECT_EQ(result.columns[i].name, names[i]);
  ASSERT_EQ(result.rows.size(), 3u);
  for (int i = 1; i <= 3; ++i) {
    const std::string part = "part_" + std::to_string(i) + ".csv";
    EXPECT_EQ(cell(result, i - 1, "source"), part);
    EXPECT_EQ(cell(result, i - 1, "sourceSize"), "14");
    EXPECT_EQ(cell(result, i - 1, "targetSize"),
              std::to_string(fs::file_size(stage_file("db.schema.loads/2024/" + part + ".gz"))));
    EXPECT_EQ(gunzip(read_file(stage_file("db.schema.loads/2024/" + part + ".gz"))),
              "rows of part " + std::to_string(i));
  }
  EXPECT_FALSE(fs::exists(stage_file("db.schema.loads/2024/other.txt.gz")));
}

TEST_F(LocalStageTest, PathsWithSpacesQuotesAndSemicolonsStayOnePath) {
  const fs::path odd = local("my model's; v2.yaml");
  write_file(odd, "name: m\n");
  const QueryResult result = put(odd, "@models");
  EXPECT_EQ(cell(result, 0, "target"), "my model's; v2.yaml.gz");
  EXPECT_EQ(gunzip(read_file(stage_file("models/my model's; v2.yaml.gz"))), "name: m\n");
}

TEST_F(LocalStageTest, SkipsTheSameFileAndRefusesToHideNewContentWithoutOverwrite) {
  write_file(local("m.yaml"), "version: 1\n");
  EXPECT_EQ(cell(put(local("m.yaml"), "@models"), 0, "status"), "UPLOADED");
  const QueryResult again = put(local("m.yaml"), "@models");
  EXPECT_EQ(cell(again, 0, "status"), "SKIPPED");
  EXPECT_EQ(cell(again, 0, "targetSize"), "0");

  write_file(local("m.yaml"), "version: 2\n");
  EXPECT_THROW_SUBSTR(put(local("m.yaml"), "@models"), SnowflakeError,
                      "PUT of " + local("m.yaml").string() +
                          " failed: the stage already holds m.yaml.gz with other content; "
                          "OVERWRITE = TRUE replaces it");
  EXPECT_EQ(gunzip(read_file(stage_file("models/m.yaml.gz"))), "version: 1\n");

  EXPECT_EQ(cell(put(local("m.yaml"), "@models", " OVERWRITE = TRUE"), 0, "status"), "UPLOADED");
  EXPECT_EQ(gunzip(read_file(stage_file("models/m.yaml.gz"))), "version: 2\n");
  const auto leftovers =
      std::distance(fs::directory_iterator(stage_file("models")), fs::directory_iterator());
  EXPECT_EQ(leftovers, 1);  // no partial copies beside the file
}

TEST_F(LocalStageTest, OptionsOfTheStatementReachTheTransfer) {
  write_file(local("raw.csv"), "1,2\n");
  const QueryResult result = put(local("raw.csv"), "@raw", " AUTO_COMPRESS = FALSE");
  EXPECT_EQ(cell(result, 0, "target"), "raw.csv");
  EXPECT_EQ(read_file(stage_file("raw/raw.csv")), "1,2\n");
}

TEST_F(LocalStageTest, AFileThatCannotBeSentIsAnErrorNamingIt) {
  const fs::path missing = local("missing.yaml");
  EXPECT_THROW_SUBSTR(put(missing, "@models"), SnowflakeError, missing.string());
  EXPECT_FALSE(fs::exists(stage_file("models")));

  // A stage directory that cannot be made (a file stands in its way).
  write_file(local("m.yaml"), "x");
  write_file(stage_file("blocked"), "a file, not a directory");
  EXPECT_THROW_SUBSTR(put(local("m.yaml"), "@blocked"), SnowflakeError,
                      "PUT of " + local("m.yaml").string() + " failed: Writing m.yaml.gz to " +
                          stage_file("blocked").string() + "/ failed");
}

}  // namespace
}  // namespace platform::snowflake
