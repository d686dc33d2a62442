#include "platform/dotenv/load_dotenv.hpp"

#include <spdlog/sinks/ostream_sink.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>

#include "platform/log/log.hpp"
#include "tests/support/paths.hpp"

namespace platform::dotenv {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::Not;

void write_file(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

std::optional<std::string> variable(const char* name) {
  if (const char* value = std::getenv(name)) return std::string(value);
  return std::nullopt;
}

// Unsets the test's variables before and after each test.
class LoadDotenv : public ::testing::Test {
 protected:
  void SetUp() override { clear(); }
  void TearDown() override { clear(); }
  static void clear() {
    for (const char* name : {"OSA_DOTENV_SET", "OSA_DOTENV_EMPTY", "OSA_DOTENV_NEW",
                             "OSA_DOTENV_TWICE", "OSA_DOTENV_NEAR", "OSA_DOTENV_FAR"}) {
      ::unsetenv(name);
    }
  }
  osa_test::ScratchDir scratch_;
};

TEST_F(LoadDotenv, SetVariablesKeepTheirValuesEvenWhenEmpty) {
  ::setenv("OSA_DOTENV_SET", "process", 1);
  ::setenv("OSA_DOTENV_EMPTY", "", 1);
  write_file(scratch_.path() / ".env",
             "OSA_DOTENV_SET=file\n"
             "OSA_DOTENV_EMPTY=file\n"
             "OSA_DOTENV_NEW=\"from ${OSA_DOTENV_SET}\"\n"
             "OSA_DOTENV_TWICE=first\n"
             "OSA_DOTENV_TWICE=second\n");
  EXPECT_TRUE(load_dotenv(scratch_.path()));
  EXPECT_EQ(variable("OSA_DOTENV_SET"), "process");
  EXPECT_EQ(variable("OSA_DOTENV_EMPTY"), "");
  EXPECT_EQ(variable("OSA_DOTENV_NEW"), "from process");
  EXPECT_EQ(variable("OSA_DOTENV_TWICE"), "second");
}

TEST_F(LoadDotenv, TheNearestFileInTheDirectoryOrItsParentsWins) {
  const fs::path deep = scratch_.path() / "a" / "b" / "c";
  fs::create_directories(deep / ".env");  // a directory of that name is no file
  write_file(scratch_.path() / ".env", "OSA_DOTENV_FAR=far\nOSA_DOTENV_NEAR=far\n");
  write_file(scratch_.path() / "a" / ".env", "OSA_DOTENV_NEAR=near\n");
  EXPECT_EQ(find_dotenv(deep), scratch_.path() / "a" / ".env");
  EXPECT_TRUE(load_dotenv(deep));
  EXPECT_EQ(variable("OSA_DOTENV_NEAR"), "near");
  EXPECT_EQ(variable("OSA_DOTENV_FAR"), std::nullopt);  // only the first file found is read
}

TEST_F(LoadDotenv, SearchesFromTheWorkingDirectory) {
  write_file(scratch_.path() / ".env", "OSA_DOTENV_NEW=here\n");
  fs::create_directories(scratch_.path() / "sub");
  const fs::path previous = fs::current_path();
  fs::current_path(scratch_.path() / "sub");
  const bool found = load_dotenv();
  fs::current_path(previous);
  EXPECT_TRUE(found);
  EXPECT_EQ(variable("OSA_DOTENV_NEW"), "here");
}

TEST_F(LoadDotenv, NoFileIsNoError) {
  if (find_dotenv(scratch_.path())) GTEST_SKIP() << "a .env file lies above the scratch directory";
  EXPECT_FALSE(load_dotenv(scratch_.path()));
}

TEST_F(LoadDotenv, MalformedLinesAreSkippedWithOneWarningThatEchoesNoValue) {
  write_file(scratch_.path() / ".env",
             "OSA_DOTENV_NEW=kept\n"
             "OSA_DOTENV_SET=\"hunter2\" oops\n"
             "=hunter3\n");
  std::ostringstream logged;
  const auto sink = std::make_shared<spdlog::sinks::ostream_sink_mt>(logged);
  sink->set_pattern("%v");
  platform::log::logger()->sinks().push_back(sink);
  EXPECT_TRUE(load_dotenv(scratch_.path()));
  platform::log::logger()->sinks().pop_back();
  const std::string warnings = logged.str();
  EXPECT_THAT(warnings, HasSubstr((scratch_.path() / ".env").string()));
  EXPECT_THAT(warnings, HasSubstr("at lines 2, 3"));
  EXPECT_THAT(warnings, Not(HasSubstr("hunter")));
  EXPECT_EQ(std::count(warnings.begin(), warnings.end(), '\n'), 1);
  EXPECT_EQ(variable("OSA_DOTENV_NEW"), "kept");
  EXPECT_EQ(variable("OSA_DOTENV_SET"), std::nullopt);
}

}  // namespace
}  // namespace platform::dotenv
