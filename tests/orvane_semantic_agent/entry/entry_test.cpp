// The entry's start-up order and its failures are checked end to end (tests/e2e); here, the
// one-line form of a failure that the console program prints.
#include "orvane_semantic_agent/entry.hpp"

#include <gtest/gtest.h>

namespace orvane_semantic_agent {
namespace {

TEST(OneLineMessage, JoinsLinesAndAttachesIndentedDetailsToTheirLine) {
  const struct {
    const char* message;
    const char* line;
  } cases[] = {
      {"plain", "plain"},
      {"", ""},
      {"1 validation error for OrvaneClient\nORVANE_SERVER_URL\n  Field required",
       "1 validation error for OrvaneClient; ORVANE_SERVER_URL: Field required"},
      {"2 validation errors for X\nA\n  Field required\nB\n\tbad value\n",
       "2 validation errors for X; A: Field required; B: bad value"},
      {"first\r\nsecond\n\n\nthird", "first; second; third"},
      {"\nleading break", "leading break"},
  };
  for (const auto& [message, line] : cases) {
    EXPECT_EQ(one_line_message(message), line) << message;
  }
}

}  // namespace
}  // namespace orvane_semantic_agent
