#include "platform/snowflake/internal/cell_conversion.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "platform/snowflake/snowflake_error.hpp"
#include "tests/support/expect_throw.hpp"

namespace platform::snowflake::internal {
namespace {

Column column(std::string type, int scale = 0) {
  return Column{.name = "C", .type = std::move(type), .scale = scale};
}

Value cell(const Column& c, const char* text, int version = 1) {
  return convert_cell(c, nlohmann::json(text), version);
}

DateTime at(Date date, int hour, int minute, int second, int micro, std::optional<int> offset) {
  return DateTime{date, hour, minute, second, micro, offset};
}

TEST(ConvertCell, NumbersKeepTheirKind) {
  EXPECT_EQ(cell(column("fixed"), "42"), Value(42));
  EXPECT_EQ(cell(column("fixed"), "-9223372036854775808"), Value(INT64_MIN));
  EXPECT_EQ(cell(column("fixed"), "99999999999999999999999999999999999999"),
            Value(BigInt{"99999999999999999999999999999999999999"}));
  EXPECT_EQ(cell(column("fixed", 2), "-3.50"), Value(-3.5));
  EXPECT_EQ(cell(column("real"), "1.5"), Value(1.5));
  EXPECT_TRUE(std::isnan(cell(column("real"), "NaN").as_double()));
  EXPECT_EQ(cell(column("real"), "-inf"), Value(-INFINITY));
  EXPECT_EQ(cell(column("real"), "Infinity"), Value(INFINITY));
  EXPECT_EQ(convert_cell(column("fixed"), nullptr, 1), Value());
}

TEST(ConvertCell, TextLikeTypesKeepTheSentText) {
  EXPECT_EQ(cell(column("text"), "alpha"), Value("alpha"));
  EXPECT_EQ(cell(column("variant"), R"({"a":1})"), Value(R"({"a":1})"));
  EXPECT_EQ(cell(column("binary"), "DEADBEEF"), Value("DEADBEEF"));
  EXPECT_EQ(cell(column("boolean"), "1"), Value(true));
  EXPECT_EQ(cell(column("boolean"), "FALSE"), Value(false));
}

TEST(ConvertCell, DatesTimesAndTimestamps) {
  EXPECT_EQ(cell(column("date"), "19000"), Value(Date{2022, 1, 8}));
  EXPECT_EQ(cell(column("date"), "-1"), Value(Date{1969, 12, 31}));
  EXPECT_EQ(cell(column("time", 9), "3723.500000000"), Value("01:02:03.500000"));
  EXPECT_EQ(cell(column("time", 0), "86399"), Value("23:59:59"));
  EXPECT_EQ(cell(column("timestamp_ntz", 9), "1700000000.123456789"),
            Value(at({2023, 11, 14}, 22, 13, 20, 123456, std::nullopt)));
  // Before the epoch the fraction still counts forward from the whole second below.
  EXPECT_EQ(cell(column("timestamp_ntz", 3), "-1.250"),
            Value(at({1969, 12, 31}, 23, 59, 58, 750000, std::nullopt)));
  EXPECT_EQ(cell(column("timestamp_ltz", 9), "1700000000.000000000"),
            Value(at({2023, 11, 14}, 22, 13, 20, 0, 0)));
  // Index 1500 is UTC+01:00: the wall clock is an hour past the UTC instant.
  EXPECT_EQ(cell(column("timestamp_tz", 9), "1700000000.000000000 1500"),
            Value(at({2023, 11, 14}, 23, 13, 20, 0, 60)));
  EXPECT_EQ(cell(column("timestamp_tz", 9), "0.000000000 1200"),
            Value(at({1969, 12, 31}, 20, 0, 0, 0, -240)));
  // Legacy form: (epoch * 10^scale) * 16384 + index, as one number.
  EXPECT_EQ(cell(column("timestamp_tz", 0), std::to_string(1700000000LL * 16384 + 1500).c_str(), 0),
            Value(at({2023, 11, 14}, 23, 13, 20, 0, 60)));
}

TEST(ConvertCell, RejectsCellsThatDoNotReadAsTheirType) {
  EXPECT_THROW_MSG(cell(column("fixed"), "12x"), SnowflakeError,
                   "Cannot read the value '12x' of column C as type fixed");
  EXPECT_THROW_SUBSTR(cell(column("boolean"), "maybe"), SnowflakeError, "as type boolean");
  EXPECT_THROW_SUBSTR(cell(column("timestamp_tz"), "1700000000 9999"), SnowflakeError,
                      "timestamp_tz");
  EXPECT_THROW_SUBSTR(cell(column("date"), "soon"), SnowflakeError, "as type date");
}

TEST(ColumnFromRowtype, ReadsNameTypeAndScale) {
  const Column c = column_from_rowtype(nlohmann::json::parse(
      R"({"name":"AMOUNT","type":"FIXED","precision":38,"scale":2,"nullable":false,"length":null})"));
  EXPECT_EQ(c.name, "AMOUNT");
  EXPECT_EQ(c.type, "fixed");
  EXPECT_EQ(c.precision, 38);
  EXPECT_EQ(c.scale, 2);
  EXPECT_FALSE(c.nullable);
}

}  // namespace
}  // namespace platform::snowflake::internal
