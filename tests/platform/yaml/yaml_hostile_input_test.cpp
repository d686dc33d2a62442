// Hostile text ends in a YAMLError (or a small, correct result), never in a crash, a hang or
// an exhausted memory.
#include <gtest/gtest.h>

#include <string>

#include "platform/errors/errors.hpp"
#include "platform/yaml/yaml.hpp"
#include "tests/support/expect_throw.hpp"

namespace {

using platform::yaml::safe_load;

TEST(YamlHostileInput, StopsAnAliasBomb) {
  std::string text = "a0: &a0 [lol, lol, lol, lol, lol, lol, lol, lol, lol]\n";
  for (int level = 1; level < 10; ++level) {
    text += "a" + std::to_string(level) + ": &a" + std::to_string(level) + " [";
    for (int i = 0; i < 9; ++i) text += (i ? ", *a" : "*a") + std::to_string(level - 1);
    text += "]\n";
  }
  EXPECT_THROW_SUBSTR(safe_load(text), platform::YAMLError, "expands to more than 1000000 nodes");
}

TEST(YamlHostileInput, StopsNestedAnchorsFromCopyingTextQuadratically) {
  // Each anchor keeps a copy of everything inside it: 900 levels of 30 kB would copy 12 GB.
  std::string text;
  const std::string filler(30000, 'x');
  for (int i = 0; i < 900; ++i) text += "&a" + std::to_string(i) + " [" + filler + ", ";
  text += "end" + std::string(900, ']');
  EXPECT_THROW_SUBSTR(safe_load(text), platform::YAMLError, "bytes of text (aliases included)");
}

TEST(YamlHostileInput, StopsDeepNesting) {
  const int depth = 10000;
  EXPECT_THROW_SUBSTR(safe_load(std::string(depth, '[') + std::string(depth, ']')),
                      platform::YAMLError, "nesting deeper than 1000 levels");
  std::string maps;
  for (int i = 0; i < depth; ++i) maps += "{a: ";
  maps += "1" + std::string(depth, '}');
  EXPECT_THROW_SUBSTR(safe_load(maps), platform::YAMLError, "nesting deeper than 1000 levels");
  std::string block;
  for (int i = 0; i < 1200; ++i) block += std::string(static_cast<std::size_t>(i), ' ') + "a:\n";
  EXPECT_THROW_SUBSTR(safe_load(block), platform::YAMLError, "nesting deeper than 1000 levels");
}

TEST(YamlHostileInput, RefusesTextBeyondTheSizeLimit) {
  const std::string huge = "a: " + std::string(50u << 20, 'x') + "\n";
  EXPECT_THROW_SUBSTR(safe_load(huge), platform::YAMLError, "exceeds the limit of 33554432 bytes");
}

TEST(YamlHostileInput, ReadsALargeScalarWithinTheLimit) {
  const std::string big(4u << 20, 'x');
  EXPECT_EQ(safe_load("a: " + big + "\n").find("a")->as_string(), big);
}

TEST(YamlHostileInput, RefusesInvalidUtf8AndControlCharacters) {
  EXPECT_THROW_SUBSTR(safe_load("a: \xC3\x28\n"), platform::YAMLError, "invalid text:");
  EXPECT_THROW_SUBSTR(safe_load("a: \xFF\n"), platform::YAMLError, "at line 1, column 4");
  EXPECT_THROW_SUBSTR(safe_load(std::string("a: b\0c\n", 7)), platform::YAMLError,
                      "control characters are not allowed");
  EXPECT_THROW_SUBSTR(safe_load(std::string("a: 'b\0'\n", 8)), platform::YAMLError,
                      "control characters");
}

TEST(YamlHostileInput, RefusesIntegersTooLongToConvert) {
  EXPECT_THROW_SUBSTR(safe_load("a: " + std::string(5000, '7') + "\n"), platform::YAMLError,
                      "integer of 5000 digits exceeds the limit of 4300 digits");
}

}  // namespace
