#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "orvane/utilities/ordered_set.hpp"

namespace {

using orvane::utilities::OrderedSet;

TEST(OrderedSetTest, KeepsFirstSeenOrderWithoutDuplicates) {
  const std::vector<std::string> series{"b", "a", "b", "c", "a"};
  OrderedSet<std::string> set(series);
  EXPECT_EQ(set.items(), (std::vector<std::string>{"b", "a", "c"}));
  EXPECT_FALSE(set.add("a"));
  EXPECT_TRUE(set.add("d"));
  EXPECT_EQ(std::vector<std::string>(set.begin(), set.end()),
            (std::vector<std::string>{"b", "a", "c", "d"}));
  EXPECT_TRUE(set.contains("c"));
  EXPECT_FALSE(set.contains("z"));
  EXPECT_TRUE(OrderedSet<int>{}.empty());
}

}  // namespace
