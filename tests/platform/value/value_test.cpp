#include "platform/value/value.hpp"

#include <gtest/gtest.h>

#include "platform/errors/errors.hpp"

namespace platform {
namespace {

TEST(Value, MapKeepsInsertionOrderAndReplacesInPlace) {
  Value map = Value::Map{{"b", 1}, {"a", 2}};
  map.set("c", "three");
  map.set("b", nullptr);
  ASSERT_EQ(map.as_map().size(), 3u);
  EXPECT_EQ(map.as_map()[0].first, "b");
  EXPECT_TRUE(map.find("b")->is_null());
  EXPECT_EQ(map.find("c")->as_string(), "three");
  EXPECT_EQ(map.find("missing"), nullptr);
  EXPECT_EQ(Value(7).find("a"), nullptr);
}

TEST(Value, EqualityDistinguishesKindsAndIntegerSizes) {
  EXPECT_EQ(Value(1), Value(std::int64_t{1}));
  EXPECT_NE(Value(1), Value(1.0));
  EXPECT_NE(Value(true), Value(1));
  EXPECT_NE(Value("1"), Value(1));
  EXPECT_NE(Value(BigInt{"1"}), Value(1));
  EXPECT_EQ(Value(Value::List{1, "x"}), Value(Value::List{1, "x"}));
  EXPECT_NE(Value(Value::Map{{"a", 1}, {"b", 2}}), Value(Value::Map{{"b", 2}, {"a", 1}}));
}

TEST(Value, WrongAccessorIsAnAssertionNotUndefinedBehaviour) {
  EXPECT_THROW(Value("x").as_int(), AssertionError);
  EXPECT_THROW(Value().as_map(), AssertionError);
  EXPECT_EQ(Value().type_name(), "null");
  EXPECT_EQ(Value(BigInt{"123456789012345678901234567890"}).type_name(), "int");
  EXPECT_EQ(Value(Value::Map{}).type_name(), "dict");
}

TEST(Value, DatesWriteIsoTextLikePython) {
  EXPECT_EQ((Date{2024, 2, 9}).iso(), "2024-02-09");
  EXPECT_EQ((DateTime{{2024, 2, 9}, 7, 5, 3}).iso(), "2024-02-09T07:05:03");
  EXPECT_EQ((DateTime{{2024, 2, 9}, 7, 5, 3, 120}).iso(), "2024-02-09T07:05:03.000120");
  EXPECT_EQ((DateTime{{2024, 2, 9}, 7, 5, 3, 0, 0}).iso(), "2024-02-09T07:05:03+00:00");
  EXPECT_EQ((DateTime{{2024, 2, 9}, 7, 5, 3, 0, -330}).iso(), "2024-02-09T07:05:03-05:30");
}

}  // namespace
}  // namespace platform
