// The module's values: the start-up step, the query text, the token count memo and join groups.
#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>

#include "orvane_semantic_agent/generate/internal/token_count_memo.hpp"
#include "orvane_semantic_agent/generate/joined_tables.hpp"
#include "orvane_semantic_agent/generate/module_values.hpp"
#include "platform/tracing/tracer.hpp"
#include "tests/orvane_semantic_agent/generate/generator_test_support.hpp"
#include "tests/support/paths.hpp"

namespace orvane_semantic_agent::generate {
namespace {

TEST(LoadModule, SelectsTheExperimentOnceFromTheProcessEnvironment) {
  osa_test::ScratchDir store;
  ::setenv("MLFLOW_TRACKING_URI", store.path().c_str(), 1);
  load_module();
  EXPECT_EQ(platform::tracing::tracer().experiment(), "semantic_model_generation");
  platform::tracing::set_experiment("another");
  load_module();  // does nothing the second time
  EXPECT_EQ(platform::tracing::tracer().experiment(), "another");
  platform::tracing::set_experiment("semantic_model_generation");
  platform::tracing::flush();
  ::unsetenv("MLFLOW_TRACKING_URI");
  EXPECT_EQ(MAX_QUERY_URNS_PER_TABLE, 10);
  EXPECT_EQ(MAX_TOKENS_EXAMPLE_SQL, 15000);
}

TEST(ListQueriesText, IsTheEmbeddedFileAndTheCatalogueAcceptsIt) {
  const std::string_view text = _list_queries_gql();
  EXPECT_TRUE(text.starts_with("query listQueries($input: ListQueriesInput!) {"));
  EXPECT_TRUE(text.ends_with("}\n"));
  CatalogueFixture catalogue;
  catalogue.query("q1", "SELECT 1", {"orders", "customers"});
  const Value data = catalogue.graph()->execute_graphql(
      std::string(text), Value::Map{{"input", Value::Map{{"count", 100}}}});
  EXPECT_EQ(data.find("listQueries")->find("queries")->as_list().size(), 1u);
}

TEST(TokenCount, EqualsTheEncodingsTokenList) {
  for (const std::string text :
       {"", "SELECT 1", "SELECT * FROM orders o JOIN customers c", "Straße – 顧客 ✓"}) {
    EXPECT_EQ(_token_count(text), _token_encoding().encode(text).size()) << text;
  }
}

TEST(TokenCountMemo, KeepsTheHundredTextsUsedMostRecently) {
  int encoded = 0;
  internal::TokenCountMemo memo(100, [&encoded](std::string_view text) {
    ++encoded;
    return text.size();
  });
  EXPECT_EQ(memo.count("kept"), 4u);
  EXPECT_EQ(memo.count("kept"), 4u);
  EXPECT_EQ(encoded, 1);
  for (int i = 0; i < 99; ++i) memo.count("other " + std::to_string(i));
  EXPECT_EQ(memo.count("kept"), 4u);  // 99 others since its last use: still there
  EXPECT_EQ(encoded, 100);
  for (int i = 0; i < 99; ++i) memo.count("next " + std::to_string(i));
  memo.count("kept");  // used again: it moved to the front, so it survived
  EXPECT_EQ(encoded, 199);
  for (int i = 0; i < 100; ++i) memo.count("last " + std::to_string(i));
  EXPECT_EQ(memo.size(), 100u);
  memo.count("kept");  // 100 others since its last use: dropped and encoded again
  EXPECT_EQ(encoded, 300);
}

TEST(TokenCountMemo, ServesConcurrentCallersConsistently) {
  internal::TokenCountMemo memo(100, [](std::string_view text) { return text.size(); });
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&memo, t] {
      for (int i = 0; i < 2000; ++i) {
        const std::string text(static_cast<std::size_t>((i * 7 + t) % 150), 'x');
        if (memo.count(text) != text.size()) ADD_FAILURE() << "wrong count";
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(memo.size(), 100u);
}

TEST(JoinedTablesTest, IsASetOfOneOrTwoUrnsEqualAndHashedByValue) {
  const JoinedTables group{urn("orders"), urn("customers")};
  const JoinedTables reversed{urn("customers"), urn("orders")};
  EXPECT_EQ(group, reversed);
  EXPECT_EQ(std::hash<JoinedTables>{}(group), std::hash<JoinedTables>{}(reversed));
  EXPECT_EQ(group.size(), 2u);
  const JoinedTables self{urn("orders"), urn("orders")};
  EXPECT_EQ(self.size(), 1u);
  EXPECT_FALSE(self == group);
  EXPECT_EQ(fmt::format("{}", group), "JoinedTables({DatasetUrn('" + urn_text("orders") +
                                          "'), DatasetUrn('" + urn_text("customers") + "')})");
  EXPECT_EQ(fmt::format("{}", self), "JoinedTables({DatasetUrn('" + urn_text("orders") + "')})");
}

}  // namespace
}  // namespace orvane_semantic_agent::generate
