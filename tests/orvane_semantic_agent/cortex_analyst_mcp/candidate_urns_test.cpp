#include <gtest/gtest.h>

#include "orvane_semantic_agent/cortex_analyst_mcp/cortex_analyst_mcp.hpp"
#include "platform/errors/errors.hpp"
#include "tests/support/expect_throw.hpp"

namespace orvane_semantic_agent::cortex_analyst_mcp {
namespace {

const std::string kOrders =
    "urn:orvane:dataset:(urn:orvane:dataPlatform:snowflake,shop_db.public.orders,PROD)";
const std::string kCustomers =
    "urn:orvane:dataset:(urn:orvane:dataPlatform:snowflake,shop_db.public.customers,PROD)";
const std::string kChart = "urn:orvane:chart:(looker,sales)";

TEST(CandidateUrns, PassUpToFourSnowflakeDatasetsInOrderWithDuplicatesKept) {
  const auto parsed = parse_candidate_urns({kOrders, kCustomers, kOrders, kCustomers});
  ASSERT_EQ(parsed.size(), 4u);
  EXPECT_EQ(parsed[0].urn(), kOrders);
  EXPECT_EQ(parsed[1].urn(), kCustomers);
  EXPECT_EQ(parsed[2].urn(), kOrders);
}

TEST(CandidateUrns, AreRefusedWithTheFirstFailingCheck) {
  const std::string postgres =
      "urn:orvane:dataset:(urn:orvane:dataPlatform:postgres,shop_db.public.orders,PROD)";
  const std::string upper_case =
      "urn:orvane:dataset:(urn:orvane:dataPlatform:Snowflake,shop_db.public.orders,PROD)";
  const struct {
    std::vector<std::string> candidates;
    std::string message;
  } cases[] = {
      {{}, "No candidate urns provided"},
      // The count is checked before any text is parsed.
      {{"a", "b", "c", "d", "e"}, "Only up to 4 candidate urns are supported"},
      {{kOrders, kChart}, "Only dataset urns are supported"},
      {{kChart, kOrders}, "Only dataset urns are supported"},
      {{kOrders, upper_case}, "Only snowflake datasets are supported"},
      {{postgres}, "Only snowflake datasets are supported"},
  };
  for (const auto& [candidates, message] : cases) {
    SCOPED_TRACE(message);
    EXPECT_THROW_MSG(parse_candidate_urns(candidates), platform::ValueError, message);
  }
}

TEST(CandidateUrns, AreAllParsedBeforeAnyKindIsChecked) {
  // A chart first and a malformed text after it: the parse failure wins.
  EXPECT_THROW_SUBSTR(parse_candidate_urns({kChart, "not a urn"}), platform::ValueError,
                      "not a urn");
}

}  // namespace
}  // namespace orvane_semantic_agent::cortex_analyst_mcp
