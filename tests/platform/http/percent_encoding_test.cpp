// Percent-encoding: what query values, object paths and request signatures rely on.
#include "platform/http/percent_encoding.hpp"

#include <gtest/gtest.h>

namespace {

using platform::http::percent_encode;
using platform::http::percent_encode_path;

TEST(PercentEncoding, KeepsOnlyUnreservedCharactersAndSlashesOfPaths) {
  EXPECT_EQ(percent_encode_path("a b/c~d_e-f.g"), "a%20b/c~d_e-f.g");
  EXPECT_EQ(percent_encode("a b/c"), "a%20b%2Fc");
  // UTF-8 byte by byte, upper-case hex; '+' must not survive as a space.
  EXPECT_EQ(percent_encode("it's+\xc3\xa9"), "it%27s%2B%C3%A9");
  EXPECT_EQ(percent_encode("a=b&c?d#e%"), "a%3Db%26c%3Fd%23e%25");
  EXPECT_EQ(percent_encode(std::string_view("\0", 1)), "%00");
}

}  // namespace
