// Value forms the reference cannot check: where it fails or gives a wrong value, and what the
// JSON value model cannot hold.
#include <gtest/gtest.h>

#include <limits>

#include "platform/dataframe/internal/epoch_milliseconds.hpp"
#include "platform/dataframe/internal/json_float.hpp"
#include "platform/dataframe/row_records.hpp"
#include "platform/errors/errors.hpp"
#include "platform/json/ordered_json.hpp"
#include "tests/platform/dataframe/table_builder.hpp"
#include "tests/support/expect_throw.hpp"

namespace platform::dataframe {
namespace {

using nlohmann::ordered_json;
using testing::make_result;

TEST(RowRecords, IntegersBeyondSixtyFourBitsAreExactNumbersAndNullsLeaveTheColumnExact) {
  const auto records = to_row_records(
      make_result({{"N", "fixed", 0, {BigInt{"123456789012345678901234567890"}, nullptr, 7}},
                   {"U", "fixed", 0, {BigInt{"18446744073709551615"}, 1, 2}},
                   {"NEG", "fixed", 0, {BigInt{"-9223372036854775809"}, nullptr, 1}}}));
  EXPECT_EQ(json::dump_exact(records[0]["N"]), "123456789012345678901234567890");
  ASSERT_TRUE(records[2]["N"].is_number_integer());  // the column does not become floating
  EXPECT_EQ(records[2]["N"], 7);
  EXPECT_TRUE(records[0]["U"].is_number_unsigned());
  EXPECT_EQ(records[0]["U"].get<std::uint64_t>(), std::numeric_limits<std::uint64_t>::max());
  EXPECT_EQ(json::dump_exact(records[0]["NEG"]), "-9223372036854775809");
  EXPECT_TRUE(records[2]["NEG"].is_number_integer());
}

TEST(RowRecords, DatesOutsideTheNanosecondRangeGiveTheirTrueInstant) {
  const auto records = to_row_records(
      make_result({{"D", "date", 0, {Date{1, 1, 1}, Date{9999, 12, 31}}},
                   {"T",
                    "timestamp_tz",
                    0,
                    {DateTime{.date = {1, 1, 1}, .utc_offset_minutes = -60},
                     DateTime{.date = {9999, 12, 31}, .hour = 23, .minute = 59, .second = 59}}}}));
  EXPECT_EQ(records[0]["D"], -62135596800000);
  EXPECT_EQ(records[1]["D"], 253402214400000);
  EXPECT_EQ(records[0]["T"], -62135596800000 + 3600000);
  EXPECT_EQ(records[1]["T"], 253402300799000);
}

TEST(RowRecords, BinaryTimeAndSemiStructuredValuesKeepTheConnectorsText) {
  const auto records =
      to_row_records(make_result({{"B", "binary", 0, {"01FF"}},
                                  {"CLOCK", "time", 0, {"01:02:03.000004"}},
                                  {"V", "variant", 0, {"{\n  \"a\": [1, 2]\n}"}}}));
  EXPECT_EQ(records,
            ordered_json::parse(
                R"([{"B": "01FF", "CLOCK": "01:02:03.000004", "V": "{\n  \"a\": [1, 2]\n}"}])"));
}

TEST(RowRecords, DuplicateColumnNamesFailAlsoWithoutRows) {
  const auto duplicate =
      make_result({{"A", "fixed", 0, {}}, {"B", "text", 0, {}}, {"A", "text", 0, {}}});
  EXPECT_THROW_MSG(to_row_records(duplicate), ValueError,
                   "DataFrame columns must be unique for orient='records'.");
  EXPECT_EQ(to_row_records(make_result({{"A", "fixed", 0, {}}})), ordered_json::array());
}

TEST(RowRecords, ARowThatDoesNotMatchItsColumnsIsAnInternalFault) {
  auto result = make_result({{"A", "fixed", 0, {1}}});
  result.rows[0].push_back(2);
  EXPECT_THROW(to_row_records(result), AssertionError);
}

TEST(JsonFloat, TenDigitsAfterThePointThenTheNearestDouble) {
  EXPECT_EQ(internal::json_float(123456.123456789012), 123456.123456789);
  EXPECT_EQ(internal::json_float(1e-11), 0.0);
  EXPECT_TRUE(std::signbit(internal::json_float(-1e-11)));
  EXPECT_EQ(internal::json_float(5e-11), 1e-10);  // a tie with a zero fraction goes up
  EXPECT_EQ(internal::json_float(0.99999999999), 1.0);
  EXPECT_EQ(internal::json_float(1.152921504606846976e18), 1.152921505e18);
  EXPECT_EQ(internal::json_float(5e-16), 5e-16);
  // The reference reads "1.797693135e+308" back as infinity; the number stays finite here.
  EXPECT_EQ(internal::json_float(-1.7976931348623157e308), -1.7976931348623157e308);
}

TEST(EpochMilliseconds, CutsPartsOfAMillisecondTowardNineteenSeventy) {
  EXPECT_EQ(
      internal::epoch_milliseconds(DateTime{
          .date = {1969, 12, 31}, .hour = 23, .minute = 59, .second = 59, .microsecond = 999500}),
      0);
  EXPECT_EQ(internal::epoch_milliseconds(DateTime{.date = {1970, 1, 1}, .microsecond = 1999}), 1);
  EXPECT_EQ(internal::epoch_milliseconds(
                DateTime{.date = {2024, 1, 1}, .hour = 1, .utc_offset_minutes = 60}),
            1704067200000);
}

}  // namespace
}  // namespace platform::dataframe
