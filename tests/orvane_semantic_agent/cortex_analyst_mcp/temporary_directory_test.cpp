#include "orvane_semantic_agent/cortex_analyst_mcp/temporary_directory.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>

#include "platform/errors/errors.hpp"
#include "tests/support/expect_throw.hpp"
#include "tests/support/paths.hpp"

namespace orvane_semantic_agent::cortex_analyst_mcp {
namespace {

namespace fs = std::filesystem;

// Points TMPDIR at a scratch directory while it lives.
class TmpdirScope {
 public:
  explicit TmpdirScope(const fs::path& path) {
    if (const char* old = std::getenv("TMPDIR")) old_ = old;
    ::setenv("TMPDIR", path.c_str(), 1);
  }
  ~TmpdirScope() {
    if (old_) {
      ::setenv("TMPDIR", old_->c_str(), 1);
    } else {
      ::unsetenv("TMPDIR");
    }
  }

 private:
  std::optional<std::string> old_;
};

TEST(TemporaryDirectory, IsAPrivateDirectoryNamedByThePrefixInTheTemporaryLocation) {
  osa_test::ScratchDir scratch;
  TmpdirScope tmpdir(scratch.path());
  TemporaryDirectory directory("orvane_semantic_agent");
  EXPECT_EQ(directory.path().parent_path(), scratch.path());
  const std::string name = directory.path().filename();
  EXPECT_TRUE(name.starts_with("orvane_semantic_agent"));
  EXPECT_GT(name.size(), std::string("orvane_semantic_agent").size());
  struct stat status {};
  ASSERT_EQ(::stat(directory.path().c_str(), &status), 0);
  EXPECT_TRUE(S_ISDIR(status.st_mode));
  EXPECT_EQ(status.st_mode & 0777, 0700u);

  TemporaryDirectory other("orvane_semantic_agent");
  EXPECT_NE(other.path(), directory.path());
}

TEST(TemporaryDirectory, GoesWithEverythingInItWhenCleanedUpOrReleased) {
  osa_test::ScratchDir scratch;
  TmpdirScope tmpdir(scratch.path());
  fs::path kept;
  {
    TemporaryDirectory directory("p");
    kept = directory.path();
    fs::create_directory(kept / "sub");
    std::ofstream(kept / "sub" / "file.yml") << "name: m\n";
  }
  EXPECT_FALSE(fs::exists(kept));

  TemporaryDirectory directory("p");
  directory.cleanup();
  EXPECT_FALSE(fs::exists(directory.path()));
  directory.cleanup();  // once is enough
}

TEST(TemporaryDirectory, ALocationThatCannotHoldItFails) {
  osa_test::ScratchDir scratch;
  TmpdirScope tmpdir(scratch.path() / "missing");
  EXPECT_THROW_SUBSTR(TemporaryDirectory("p"), platform::RuntimeError, "temporary directory");
}

}  // namespace
}  // namespace orvane_semantic_agent::cortex_analyst_mcp
