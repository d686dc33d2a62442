// What the model file read accepts, and that hostile paths fail at once without filling memory.
#include "orvane_semantic_agent/cortex_analyst_mcp/model_file_reader.hpp"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "platform/errors/errors.hpp"
#include "platform/yaml/yaml.hpp"
#include "tests/support/expect_throw.hpp"
#include "tests/support/paths.hpp"

namespace orvane_semantic_agent::cortex_analyst_mcp {
namespace {

namespace fs = std::filesystem;

long peak_kilobytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

TEST(ReadModelFile, ReadsARegularFileAlsoThroughALink) {
  osa_test::ScratchDir scratch;
  const fs::path file = scratch.path() / "model.yml";
  std::ofstream(file) << "name: shop\ntables: []\n";
  fs::create_symlink(file, scratch.path() / "link.yml");
  EXPECT_EQ(read_model_file(file.string()), "name: shop\ntables: []\n");
  EXPECT_EQ(read_model_file((scratch.path() / "link.yml").string()), "name: shop\ntables: []\n");
}

TEST(ReadModelFile, NamesTheSystemsReason) {
  osa_test::ScratchDir scratch;
  const std::string missing = (scratch.path() / "missing.yml").string();
  EXPECT_THROW_MSG(
      read_model_file(missing), platform::RuntimeError,
      "Cannot read the semantic model file " + missing + ": No such file or directory");
  EXPECT_THROW_MSG(
      read_model_file(scratch.path().string()), platform::RuntimeError,
      "Cannot read the semantic model file " + scratch.path().string() + ": Is a directory");
}

// A FIFO without a writer would hold the call forever; /dev/zero and a file far beyond the YAML
// limit would be read into memory before anything refused them.
TEST(ReadModelFile, RefusesWhatIsNoRegularFileOrTooLargePromptlyWithBoundedMemory) {
  osa_test::ScratchDir scratch;
  const std::string fifo = (scratch.path() / "model.fifo").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string huge = (scratch.path() / "huge.yml").string();
  std::ofstream(huge).close();
  fs::resize_file(huge, 300u << 20);  // sparse: no disk, but 300 MB to read
  const std::string beyond = (scratch.path() / "beyond.yml").string();
  std::ofstream(beyond).close();
  fs::resize_file(beyond, platform::yaml::kMaxTextBytes + 1);
  const struct {
    std::string path;
    std::string reason;
  } cases[] = {
      {fifo, "not a regular file"},
      {"/dev/zero", "not a regular file"},
      {huge, "larger than the limit of 33554432 bytes"},
      {beyond, "larger than the limit of 33554432 bytes"},
  };
  const long peak_before = peak_kilobytes();
  for (const auto& [path, reason] : cases) {
    const auto started = std::chrono::steady_clock::now();
    EXPECT_THROW_MSG(read_model_file(path), platform::RuntimeError,
                     "Cannot read the semantic model file " + path + ": " + reason);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(1)) << path;
  }
  EXPECT_LT(peak_kilobytes() - peak_before, 8 * 1024);
}

}  // namespace
}  // namespace orvane_semantic_agent::cortex_analyst_mcp
