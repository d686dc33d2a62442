#include "platform/json/ordered_json.hpp"

#include <gtest/gtest.h>

#include "platform/json/json_writer.hpp"

namespace platform::json {
namespace {

TEST(OrderedJson, RoundTripKeepsKindsAndKeyOrder) {
  const Value tree = Value::Map{
      {"z", nullptr},
      {"a", Value::List{true, std::int64_t{-5}, 2.5, "text", Value::Map{}}},
      {"m", Value::Map{{"k", Value::List{}}}},
  };
  const nlohmann::ordered_json json = to_ordered_json(tree);
  EXPECT_EQ(json.dump(), write(tree));
  EXPECT_EQ(from_ordered_json(json), tree);
}

TEST(OrderedJson, WideIntegersAndDates) {
  EXPECT_EQ(to_ordered_json(BigInt{"18446744073709551615"}).get<std::uint64_t>(),
            18446744073709551615u);
  EXPECT_TRUE(to_ordered_json(BigInt{"123456789012345678901234567890"}).is_number_float());
  EXPECT_EQ(from_ordered_json(nlohmann::ordered_json::parse("18446744073709551615")),
            Value(BigInt{"18446744073709551615"}));
  EXPECT_EQ(from_ordered_json(nlohmann::ordered_json::parse("9223372036854775807")),
            Value(std::int64_t{9223372036854775807}));
  EXPECT_EQ(to_ordered_json(DateTime{{2024, 1, 2}, 3, 4, 5, 0, 0}), "2024-01-02T03:04:05Z");
  EXPECT_EQ(to_ordered_json(Date{2024, 1, 2}), "2024-01-02");
}

}  // namespace
}  // namespace platform::json
