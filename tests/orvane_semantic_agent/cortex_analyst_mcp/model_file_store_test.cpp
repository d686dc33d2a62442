#include "orvane_semantic_agent/cortex_analyst_mcp/model_file_store.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <thread>

#include "platform/errors/errors.hpp"
#include "tests/support/expect_throw.hpp"
#include "tests/support/paths.hpp"

namespace orvane_semantic_agent::cortex_analyst_mcp {
namespace {

namespace fs = std::filesystem;

std::set<std::string> names_in(const fs::path& directory) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(directory)) {
    names.insert(entry.path().filename());
  }
  return names;
}

std::string read(const fs::path& path) {
  std::ifstream file(path);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

TEST(ModelFileStore, NamesEachFileAfterAFreshVersion4UuidWithUnderscores) {
  EXPECT_EQ(ModelFileStore::file_name_for("1b4e28ba-2fa1-41d2-883f-0016d3cca427"),
            "semantic_model_1b4e28ba_2fa1_41d2_883f_0016d3cca427.yml");

  osa_test::ScratchDir scratch;
  ModelFileStore store(scratch.path());
  const std::regex pattern(
      "semantic_model_[0-9a-f]{8}_[0-9a-f]{4}_4[0-9a-f]{3}_[89ab][0-9a-f]{3}_[0-9a-f]{12}\\.yml");
  std::set<std::string> names;
  for (int i = 0; i < 3; ++i) {
    const fs::path file = store.write("name: m" + std::to_string(i) + "\n");
    EXPECT_EQ(file.parent_path(), scratch.path());
    EXPECT_EQ(file.filename().string().size(), 55u);
    EXPECT_TRUE(std::regex_match(file.filename().string(), pattern)) << file;
    EXPECT_EQ(read(file), "name: m" + std::to_string(i) + "\n");
    struct stat status {};
    ASSERT_EQ(::stat(file.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u);
    names.insert(file.filename());
  }
  EXPECT_EQ(names, names_in(scratch.path()));
  EXPECT_EQ(names.size(), 3u);
}

TEST(ModelFileStore, KeepsOnlyTheNewestFilesAsNewOnesAreWritten) {
  osa_test::ScratchDir scratch;
  ModelFileStore store(scratch.path(), 3);
  std::vector<fs::path> written;
  for (int i = 0; i < 5; ++i) written.push_back(store.write("n: " + std::to_string(i)));
  EXPECT_EQ(
      names_in(scratch.path()),
      (std::set<std::string>{written[2].filename(), written[3].filename(), written[4].filename()}));
  // A file that disappeared meanwhile is no failure when its turn to go comes.
  fs::remove(written[2]);
  written.push_back(store.write("n: 5"));
  EXPECT_EQ(names_in(scratch.path()).size(), 3u);
}

TEST(ModelFileStore, DefaultKeepsAHundredAlsoUnderConcurrentWrites) {
  osa_test::ScratchDir scratch;
  ModelFileStore store(scratch.path());
  std::vector<std::thread> writers;
  for (int t = 0; t < 4; ++t) {
    writers.emplace_back([&store] {
      for (int i = 0; i < 40; ++i) store.write("name: concurrent\n");
    });
  }
  for (auto& writer : writers) writer.join();
  EXPECT_EQ(names_in(scratch.path()).size(), ModelFileStore::kDefaultKeep);
}

TEST(ModelFileStore, AFileThatCannotBeWrittenFailsWithItsPath) {
  osa_test::ScratchDir scratch;
  ModelFileStore store(scratch.path() / "gone");
  EXPECT_THROW_SUBSTR(store.write("name: m\n"), platform::RuntimeError,
                      "Cannot write the semantic model file " + (scratch.path() / "gone").string());
}

}  // namespace
}  // namespace orvane_semantic_agent::cortex_analyst_mcp
