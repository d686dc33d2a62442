#include "orvane_semantic_agent/context.hpp"

#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>
#include <type_traits>

#include "orvane_semantic_agent/version.hpp"
#include "platform/errors/errors.hpp"
#include "tests/fakes/catalogue/in_memory_graph.hpp"
#include "tests/support/expect_throw.hpp"

namespace orvane_semantic_agent {
namespace {

constexpr const char* kUnsetMessage = "<ContextVar name='_semantic_agent_context'>";

Context make_context(const std::string& account) {
  cortex::SnowflakeProvisioningConfig config;
  config.account_id = account;
  return Context{.client = orvane::sdk::OrvaneClient(
                     orvane::sdk::InMemoryOrvaneGraph::from_json_text(R"({"entities": {}})")),
                 .config = config};
}

// Every test starts and must end with the variable unset; a leak shows up here.
class ContextTest : public ::testing::Test {
 protected:
  void SetUp() override { expect_unset(); }
  void TearDown() override { expect_unset(); }
  static void expect_unset() {
    EXPECT_THROW_MSG(get_context(), platform::LookupError, kUnsetMessage);
  }
  const Context a_ = make_context("a");
  const Context b_ = make_context("b");
};

TEST_F(ContextTest, RecordIsImmutableAndComparesByClientAndSettings) {
  static_assert(!std::is_copy_assignable_v<Context>);
  static_assert(std::is_const_v<decltype(Context::client)>);
  static_assert(std::is_const_v<decltype(Context::config)>);
  const Context copy = a_;  // copies of a client share its graph
  EXPECT_EQ(copy, a_);
  EXPECT_FALSE(a_ == b_);
  EXPECT_FALSE(a_ == (Context{.client = b_.client, .config = a_.config}));
}

TEST_F(ContextTest, ScopeInstallsTheContextAndRestoresUnset) {
  {
    auto scope = with_context(a_);
    EXPECT_EQ(get_context(), a_);
  }
}

TEST_F(ContextTest, NestedScopesRestoreTheirOuterValue) {
  {
    auto outer = with_context(a_);
    {
      auto inner = with_context(b_);
      EXPECT_EQ(get_context(), b_);
    }
    EXPECT_EQ(get_context(), a_);
  }
}

TEST_F(ContextTest, SetInsideAScopeHoldsUntilTheScopeEndsThenTheStateBeforeTheScopeReturns) {
  {
    auto outer = with_context(a_);
    {
      auto inner = with_context(b_);
      set_context(a_);
      set_context(make_context("c"));
      EXPECT_EQ(get_context().config.account_id, "c");
    }
    EXPECT_EQ(get_context(), a_);  // the outer value, neither b nor c
  }
}

TEST_F(ContextTest, ExceptionLeavesTheScopeRestoredAndReachesTheCallerUnchanged) {
  try {
    auto outer = with_context(a_);
    try {
      auto inner = with_context(b_);
      throw std::invalid_argument("boom");
    } catch (const std::invalid_argument&) {
      EXPECT_EQ(get_context(), a_);
      throw;
    }
  } catch (const std::invalid_argument& error) {
    EXPECT_STREQ(error.what(), "boom");
  }
}

TEST_F(ContextTest, SetContextOutsideAnyScopeStaysUntilAResetBringsBackUnset) {
  ContextVariable& variable = _semantic_agent_context();
  EXPECT_EQ(variable.name(), "_semantic_agent_context");
  auto before = variable.set(a_);  // unset before this
  set_context(b_);
  EXPECT_EQ(get_context(), b_);
  variable.reset(std::move(before));
}

TEST_F(ContextTest, OtherThreadsSeeTheInstalledContext) {
  auto scope = with_context(a_);
  std::string seen;
  std::thread worker([&] { seen = get_context().config.account_id; });
  worker.join();
  EXPECT_EQ(seen, "a");
}

TEST(Version, ValuesOfTheVersionModule) {
  EXPECT_EQ(version, "0.1.3");
  EXPECT_EQ(version, kVersion);
  EXPECT_EQ(version_tuple, (std::array<int, 3>{0, 1, 3}));
  EXPECT_EQ(kVersionAll[0], "__version__");
  EXPECT_EQ(kVersionAll[3], "version_tuple");
}

}  // namespace
}  // namespace orvane_semantic_agent
