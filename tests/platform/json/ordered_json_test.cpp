#include "platform/json/ordered_json.hpp"

#include <gtest/gtest.h>

#include "platform/errors/errors.hpp"
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

TEST(ExactNumbers, AreWrittenWithEveryDigitAndReadBackAsBigInts) {
  const nlohmann::ordered_json rows = {
      {{"N", exact_number(BigInt{"123456789012345678901234567890"})}, {"M", 7}},
      {{"N", exact_number(BigInt{"-99999999999999999999999999999999999999"})}, {"M", nullptr}}};
  EXPECT_EQ(dump_exact(rows), R"([{"N":123456789012345678901234567890,"M":7},)"
                              R"({"N":-99999999999999999999999999999999999999,"M":null}])");
  EXPECT_TRUE(is_exact_number(rows[0]["N"]));
  EXPECT_FALSE(is_exact_number(nlohmann::ordered_json::binary({1, 2}, 1)));
  EXPECT_EQ(from_ordered_json(rows[1]["N"]),
            Value(BigInt{"-99999999999999999999999999999999999999"}));
  EXPECT_THROW(from_ordered_json(nlohmann::ordered_json::binary({1, 2})), ValueError);
}

// Without exact numbers the text is nlohmann's own compact dump, byte for byte.
TEST(ExactNumbers, EverythingElseIsWrittenAsNlohmannWritesIt) {
  const nlohmann::ordered_json trees[] = {
      nlohmann::ordered_json::parse(
          R"({"z":[1,-2,3.5,1e300,-0.0,true,null,"a\"b\n\u0001é"],"a":{},"e":[],"o":{"k":[{}]}})"),
      nlohmann::ordered_json("not \xFF utf-8"),
      nlohmann::ordered_json{{"key \xC3", 18446744073709551615u}},
      nlohmann::ordered_json::binary({1, 2}, 7),
      nlohmann::ordered_json(),
  };
  for (const auto& tree : trees) {
    EXPECT_EQ(dump_exact(tree),
              tree.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace));
  }
}

}  // namespace
}  // namespace platform::json
