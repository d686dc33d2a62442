#include <gtest/gtest.h>

#include "orvane_semantic_agent/cortex/cortex.hpp"
#include "platform/errors/errors.hpp"
#include "tests/support/expect_throw.hpp"

namespace orvane_semantic_agent::cortex {
namespace {

TEST(SnowflakeProvisioningConfig, ReadsPrefixedVariablesWithoutRegardToCase) {
  const auto config =
      SnowflakeProvisioningConfig::from_env({{"snowflake__connection__account_id", "myorg-acct"},
                                             {"SNOWFLAKE__CONNECTION__USERNAME", "ana"},
                                             {"Snowflake__Connection__Password", "pw"},
                                             {"SNOWFLAKE__CONNECTION__NO_SUCH_FIELD", "ignored"},
                                             {"SNOWFLAKE_CONNECTION_ROLE", "not this one"}});
  EXPECT_EQ(config.account_id, "myorg-acct");
  EXPECT_EQ(config.username, "ana");
  EXPECT_EQ(config.password, "pw");
  EXPECT_EQ(config.role, std::nullopt);
}

TEST(SnowflakeProvisioningConfig, ListsEveryMissingSettingByVariableName) {
  EXPECT_THROW_MSG(
      SnowflakeProvisioningConfig::from_env({{"SNOWFLAKE__CONNECTION__PASSWORD", "hunter2"}}),
      platform::ValidationError,
      "2 validation errors for SnowflakeProvisioningConfig\n"
      "SNOWFLAKE__CONNECTION__ACCOUNT_ID\n  Field required\n"
      "SNOWFLAKE__CONNECTION__USERNAME\n  Field required when authentication_type is 'PASSWORD'");
}

}  // namespace
}  // namespace orvane_semantic_agent::cortex
