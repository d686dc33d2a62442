// What a hard-coded model path may point at: only a regular file within the YAML limit is read.
#include "orvane_semantic_agent/cortex_analyst_mcp/model_file_reader.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "platform/errors/errors.hpp"
#include "platform/yaml/yaml.hpp"
#include "tests/support/paths.hpp"

namespace orvane_semantic_agent::cortex_analyst_mcp {
namespace {

using namespace std::chrono_literals;

std::string failure_of(const std::string& path) {
  try {
    read_model_file(path);
  } catch (const platform::RuntimeError& error) {
    return error.what();
  }
  return "no failure";
}

TEST(ModelFileReader, ReadsARegularFileWhole) {
  osa_test::ScratchDir scratch;
  const auto path = scratch.path() / "model.yml";
  std::ofstream(path) << "name: shop\ntables: []\n";
  EXPECT_EQ(read_model_file(path.string()), "name: shop\ntables: []\n");
}

TEST(ModelFileReader, RefusesWhatIsNotARegularFileWithoutWaitingOrReading) {
  osa_test::ScratchDir scratch;
  const auto fifo = scratch.path() / "model.fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const auto began = std::chrono::steady_clock::now();
  EXPECT_EQ(failure_of(fifo.string()),
            "Cannot read the semantic model file " + fifo.string() + ": not a regular file");
  EXPECT_EQ(failure_of("/dev/zero"),
            "Cannot read the semantic model file /dev/zero: not a regular file");
  EXPECT_LT(std::chrono::steady_clock::now() - began, 1s);
  EXPECT_EQ(failure_of(scratch.path().string()),
            "Cannot read the semantic model file " + scratch.path().string() + ": Is a directory");
  const auto missing = scratch.path() / "missing.yml";
  EXPECT_EQ(failure_of(missing.string()), "Cannot read the semantic model file " +
                                              missing.string() + ": No such file or directory");
}

TEST(ModelFileReader, RefusesAFileBeyondTheYamlLimitAndReadsOneAtIt) {
  osa_test::ScratchDir scratch;
  const auto path = scratch.path() / "big.yml";
  { std::ofstream create(path); }
  std::filesystem::resize_file(path, platform::yaml::kMaxTextBytes + 1);
  EXPECT_EQ(failure_of(path.string()),
            "Cannot read the semantic model file " + path.string() + ": larger than the limit of " +
                std::to_string(platform::yaml::kMaxTextBytes) + " bytes");
  std::filesystem::resize_file(path, platform::yaml::kMaxTextBytes);
  EXPECT_EQ(read_model_file(path.string()).size(), platform::yaml::kMaxTextBytes);
}

}  // namespace
}  // namespace orvane_semantic_agent::cortex_analyst_mcp
