// Join mining from a dataset's query history.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/orvane_semantic_agent/generate/generator_test_support.hpp"
#include "tests/support/expect_throw.hpp"

namespace orvane_semantic_agent::generate {
namespace {

using ::testing::ElementsAre;

Value subject(const std::string& table, Value schema_field = nullptr) {
  return Value::Map{{"dataset", Value::Map{{"urn", urn_text(table)}}},
                    {"schemaField", std::move(schema_field)}};
}

Value entry(const std::string& id, Value::List subjects) {
  return Value::Map{{"urn", "urn:orvane:query:" + id}, {"subjects", std::move(subjects)}};
}

class JoinMining : public ::testing::Test {
 protected:
  JoinMining() { catalogue.dataset("orders", {key("ID")}); }

  std::vector<std::string> query_urns() {
    SemanticModelGenerator generator(catalogue.client());
    return GeneratorProbe::get_query_urns(generator, urn("orders"));
  }

  GeneratorHarness harness;
  CatalogueFixture catalogue;
};

TEST_F(JoinMining, KeepsTheFirstTenQueriesWithTwoDatasetSubjectsAndStopsThere) {
  for (int i = 1; i <= 19; ++i) {
    const bool qualifies = i == 1 || i == 3 || i == 4 || i >= 13;
    catalogue.history_entry(
        entry(std::to_string(i), qualifies ? Value::List{subject("orders"), subject("customers")}
                                           : Value::List{subject("orders")}));
  }
  // Never looked at: reading its subjects would fail.
  catalogue.history_entry(
      entry("20", {subject("orders"), Value::Map{{"schemaField", nullptr}}, subject("b")}));
  std::vector<std::string> expected;
  for (int i : {1, 3, 4, 13, 14, 15, 16, 17, 18, 19}) {
    expected.push_back("urn:orvane:query:" + std::to_string(i));
  }
  EXPECT_EQ(query_urns(), expected);
  EXPECT_THAT(catalogue.requests(), ElementsAre(list_queries_request("orders")));
}

TEST_F(JoinMining, OnlySubjectsWithoutASchemaFieldAreDatasetSubjects) {
  const Value field = Value::Map{{"urn", "urn:orvane:schemaField:(" + urn_text("orders") + ",ID)"}};
  catalogue.history_entry(entry("columns_only", {subject("orders", field), subject("b", field)}));
  catalogue.history_entry(entry("one_dataset", {subject("orders"), subject("orders", field)}));
  catalogue.history_entry(entry("null_field", {subject("orders"), subject("customers")}));
  catalogue.history_entry(
      entry("no_field_key", {Value::Map{{"dataset", Value::Map{{"urn", urn_text("orders")}}}},
                             Value::Map{{"dataset", Value::Map{{"urn", urn_text("customers")}}}}}));
  catalogue.history_entry(entry("twice", {subject("orders"), subject("orders")}));
  EXPECT_THAT(query_urns(), ElementsAre("urn:orvane:query:null_field",
                                        "urn:orvane:query:no_field_key", "urn:orvane:query:twice"));
}

// A catalogue that answers every GraphQL request with the same data.
class CannedGraph : public orvane::sdk::OrvaneGraph {
 public:
  explicit CannedGraph(Value data) : data_(std::move(data)) {}
  Value execute_graphql(const std::string&, const Value&) override { return data_; }

 private:
  Value data_;
};

TEST(JoinMiningAnswer, AMissingKeyIsAKeyErrorNamingIt) {
  GeneratorHarness harness;
  const auto fails_with = [](Value data, const std::string& message) {
    SemanticModelGenerator generator(
        orvane::sdk::OrvaneClient(std::make_shared<CannedGraph>(std::move(data))));
    EXPECT_THROW_MSG(GeneratorProbe::get_query_urns(generator, urn("orders")), platform::KeyError,
                     message);
  };
  const auto queries = [](Value::List entries) {
    return Value::Map{{"listQueries", Value::Map{{"queries", std::move(entries)}}}};
  };
  fails_with(Value::Map{}, "'listQueries'");
  fails_with(Value::Map{{"listQueries", Value::Map{}}}, "'queries'");
  fails_with(queries({Value::Map{{"urn", "urn:orvane:query:q"}}}), "'subjects'");
  fails_with(queries({entry("q", {subject("orders"), Value::Map{{"schemaField", nullptr}}})}),
             "'dataset'");
  fails_with(queries({entry("q", {subject("orders"), Value::Map{{"dataset", Value::Map{}}}})}),
             "'urn'");
  fails_with(queries({Value::Map{{"subjects", Value::List{subject("a"), subject("b")}}}}), "'urn'");
  // A query with one dataset subject is not kept, so its missing "urn" is never read.
  SemanticModelGenerator generator(orvane::sdk::OrvaneClient(std::make_shared<CannedGraph>(
      queries({Value::Map{{"subjects", Value::List{subject("a")}}}}))));
  EXPECT_TRUE(GeneratorProbe::get_query_urns(generator, urn("orders")).empty());
}

TEST_F(JoinMining, ReturnsEveryJoinOfTheKeptQueriesWithItsSource) {
  const std::string two_joins =
      "SELECT * FROM orders o JOIN customers c ON o.customer_id = c.id "
      "LEFT JOIN regions r ON c.region_id = r.id";
  catalogue.query("two", two_joins, {"orders", "customers", "regions"});
  catalogue.query("no_platform", "SELECT * FROM orders o JOIN x ON o.a = x.a", {"orders", "x"});
  catalogue.entity(
      "urn:orvane:query:no_platform",
      {{"queryProperties", Value::Map{{"statement", Value::Map{{"value", "SELECT 1"}}}}}});
  catalogue.query("unparsable", "SELECT * FROM orders JOIN (", {"orders", "y"});
  catalogue.query("self", "SELECT * FROM sales.public.orders a JOIN orders b ON a.id = b.parent",
                  {"orders", "orders"});
  SemanticModelGenerator generator(catalogue.client());
  const auto joins = GeneratorProbe::infer_joins_for_urn(generator, urn("orders"));
  ASSERT_EQ(joins.size(), 3u);
  EXPECT_EQ(joins[0].query_urn.urn(), "urn:orvane:query:two");
  EXPECT_EQ(joins[0].query_text, two_joins);
  EXPECT_THAT(joins[0].join.left_tables, ElementsAre(urn_text("orders")));  // default db/schema
  EXPECT_THAT(joins[0].join.right_tables, ElementsAre(urn_text("customers")));
  EXPECT_EQ(joins[1].query_urn, joins[0].query_urn);
  EXPECT_EQ(joins[1].query_text, two_joins);
  EXPECT_THAT(joins[1].join.right_tables, ElementsAre(urn_text("regions")));
  EXPECT_EQ(joins[2].query_urn.urn(), "urn:orvane:query:self");
  EXPECT_THAT(joins[2].join.left_tables, ElementsAre(urn_text("orders")));
  EXPECT_THAT(joins[2].join.right_tables, ElementsAre(urn_text("orders")));
  // The table first, then the history, then each kept query's entity.
  EXPECT_THAT(catalogue.requests(),
              ElementsAre(dataset_request("orders"), list_queries_request("orders"),
                          query_request("two"), query_request("no_platform"),
                          query_request("unparsable"), query_request("self")));
}

TEST_F(JoinMining, AnEmptyHistoryGivesNoJoinsAndEachMiningAsksAgain) {
  SemanticModelGenerator generator(catalogue.client());
  EXPECT_TRUE(GeneratorProbe::infer_joins_for_urn(generator, urn("orders")).empty());
  EXPECT_TRUE(GeneratorProbe::infer_joins_for_urn(generator, urn("orders")).empty());
  EXPECT_THAT(catalogue.requests(),
              ElementsAre(dataset_request("orders"), list_queries_request("orders"),
                          list_queries_request("orders")));
}

TEST_F(JoinMining, ATableThatCannotBeBuiltEndsMiningBeforeTheHistoryIsAsked) {
  SemanticModelGenerator generator(catalogue.client());
  EXPECT_THROW(GeneratorProbe::infer_joins_for_urn(generator, urn("missing")),
               platform::LookupError);
  EXPECT_EQ(catalogue.requests().size(), 1u);
}

}  // namespace
}  // namespace orvane_semantic_agent::generate
