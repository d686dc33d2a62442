#include "platform/snowflake/snowflake_error.hpp"

#include <gtest/gtest.h>

#include <string>
#include <type_traits>

#include <nlohmann/json.hpp>

namespace platform::snowflake {
namespace {

// Only the factories make errors, so a code, a SQL state and a message cannot trade places.
static_assert(
    !std::is_constructible_v<SnowflakeError, std::string, std::string, std::string, std::string>);

struct Expected {
  std::string code, sql_state, query_id, message, what;
};

void expect(const SnowflakeError& error, const Expected& expected) {
  EXPECT_EQ(error.code(), expected.code);
  EXPECT_EQ(error.sql_state(), expected.sql_state);
  EXPECT_EQ(error.query_id(), expected.query_id);
  EXPECT_EQ(error.message(), expected.message);
  EXPECT_STREQ(error.what(), expected.what.c_str());
}

TEST(SnowflakeError, EachFactoryFillsItsFieldsAndLeavesEmptyPartsOutOfTheText) {
  expect(SnowflakeError::connection_failure("The warehouse is gone"),
         {"", "08001", "", "The warehouse is gone", "(08001): The warehouse is gone"});
  expect(SnowflakeError::connection_closed(),
         {"", "08003", "", "The connection is closed", "(08003): The connection is closed"});
  expect(SnowflakeError::cancelled("01b2"), {"", "57014", "01b2", "The statement was cancelled",
                                             "(57014): 01b2: The statement was cancelled"});
  expect(SnowflakeError::timed_out("", std::chrono::milliseconds(1500)),
         {"", "57014", "",
          "The statement did not finish within the statement timeout of 1.5 s and was aborted",
          "(57014): The statement did not finish within the statement timeout of 1.5 s and was "
          "aborted"});
  expect(SnowflakeError::malformed_answer("no rows", "01b3"),
         {"", "", "01b3", "no rows", "01b3: no rows"});
  expect(SnowflakeError::connector_failure("gzip compression failed"),
         {"", "", "", "gzip compression failed", "gzip compression failed"});
}

TEST(SnowflakeError, FromEnvelopeTakesTheWarehousesCodeStateQueryIdAndMessage) {
  expect(SnowflakeError::from_envelope(nlohmann::json::parse(
             R"({"success":false,"code":"002003","message":"Object does not exist",
                 "data":{"sqlState":"42S02","queryId":"01b4"}})")),
         {"002003", "42S02", "01b4", "Object does not exist",
          "002003 (42S02): 01b4: Object does not exist"});
  // A numeric code reads as its digits; a missing message and a null data are named.
  expect(SnowflakeError::from_envelope(
             nlohmann::json::parse(R"({"success":false,"code":390104,"data":null})")),
         {"390104", "", "", "The warehouse reported a failure without a message",
          "390104: The warehouse reported a failure without a message"});
}

TEST(SnowflakeError, WithMessageKeepsEverythingButTheMessage) {
  const SnowflakeError original = SnowflakeError::cancelled("01b5");
  expect(original.with_message("PUT of a.csv failed: cancelled"),
         {"", "57014", "01b5", "PUT of a.csv failed: cancelled",
          "(57014): 01b5: PUT of a.csv failed: cancelled"});
}

}  // namespace
}  // namespace platform::snowflake
