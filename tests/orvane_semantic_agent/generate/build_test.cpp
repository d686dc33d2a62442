// Whole builds against the in-memory catalogue and the scripted LLM.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/llm/completion.hpp"
#include "tests/orvane_semantic_agent/generate/generator_test_support.hpp"
#include "tests/support/expect_throw.hpp"

namespace orvane_semantic_agent::generate {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

class WholeBuild : public ::testing::Test {
 protected:
  GeneratorHarness harness;
  CatalogueFixture catalogue;
};

TEST_F(WholeBuild, TwoStartTablesJoinedByMinedQueries) {
  const auto [q1, q2] = two_start_tables(catalogue, harness.llm);

  SemanticModelGenerator generator(catalogue.client(), 30, {{urn("orders"), urn("customers")}});
  const auto model = generator.build();

  ASSERT_EQ(model->tables.size(), 3u);
  EXPECT_EQ(model->tables[0]->name, "orders");
  EXPECT_EQ(model->tables[1]->name, "customers");
  EXPECT_THAT(model->tables[1]->primary_key->columns, ElementsAre("ID"));  // inferred
  EXPECT_EQ(model->tables[2]->name, "products");
  ASSERT_EQ(model->relationships->size(), 1u);
  EXPECT_EQ(model->relationships->at(0)->name, "orders -> customers: Each order has one customer");

  EXPECT_THAT(
      harness.logs.lines(),
      ElementsAre(
          "debug Adding " + urn_text("orders") + " to queue",
          "debug Adding " + urn_text("customers") + " to queue",
          "info Registering logical table for " + urn_text("orders"),
          "debug Building logical table for " + urn_text("orders"),
          "debug " + urn_text("customers") + " already in queue, skipping",
          "debug Adding " + urn_text("products") + " to queue",
          "info Registering logical table for " + urn_text("customers"),
          "debug Building logical table for " + urn_text("customers"),
          "debug Inferring primary keys for customers",
          "info Registering logical table for " + urn_text("products"),
          "debug Building logical table for " + urn_text("products"),
          "debug No more tables to add, stopping",
          "warning Bad relationships: [(1, 'Relationship orders -> products: joined right table "
          "references column SKU that is not in the primary key')]"));

  EXPECT_THAT(catalogue.requests(),
              ElementsAre(dataset_request("orders"), list_queries_request("orders"),
                          query_request("q1"), query_request("q2"), usage_request("products"),
                          dataset_request("customers"), list_queries_request("customers"),
                          query_request("q1"), dataset_request("products"),
                          list_queries_request("products"), query_request("q2")));

  // One key question, then one relationship question per group, each joined query once.
  const auto prompts = harness.llm.user_prompts();
  ASSERT_EQ(prompts.size(), 3u);
  EXPECT_THAT(prompts[0], HasSubstr("<logical_table>\n{\n  \"name\": \"customers\""));
  EXPECT_THAT(prompts[1], HasSubstr("\n<example_sqls>\n<example_sql>" + q1 +
                                    "</example_sql>\n</example_sqls>\n"));
  EXPECT_THAT(prompts[1], HasSubstr("\"primary_key\":{\"columns\":[\"ID\"]}"));
  EXPECT_THAT(prompts[2], HasSubstr("<example_sql>" + q2 + "</example_sql>\n</example_sqls>"));

  // One trace: the build with the three LLM calls beneath it.
  const auto traces = harness.traces();
  ASSERT_EQ(traces.size(), 1u);
  const auto& spans = traces[0].spans;
  ASSERT_EQ(spans.size(), 4u);
  EXPECT_EQ(traces[0].root().name, "build");
  EXPECT_EQ(traces[0].root().span_type, "UNKNOWN");
  for (const auto& span : spans) {
    if (span.span_id == traces[0].root().span_id) continue;
    EXPECT_EQ(span.name, "completion");
    EXPECT_EQ(span.span_type, "LLM");
    EXPECT_EQ(span.parent_span_id, traces[0].root().span_id);
  }
}

TEST_F(WholeBuild, AStarSchemaIsCutAtTheTableLimitBestScoresFirst) {
  catalogue.dataset("sales", {key("ID"), column("D1_ID"), column("D2_ID"), column("D3_ID"),
                              column("D4_ID"), column("D5_ID")});
  const double popularity[] = {10, 90, 30, 70, 50};
  std::string sql = "SELECT * FROM sales f";
  for (int d = 1; d <= 5; ++d) {
    const std::string dim = "dim" + std::to_string(d);
    catalogue.dataset(dim, {key("ID")}, popularity[d - 1]);
    sql += " JOIN " + dim + " d" + std::to_string(d) + " ON f.d" + std::to_string(d) + "_id = d" +
           std::to_string(d) + ".id";
  }
  catalogue.query("star", sql, {"sales", "dim1", "dim2", "dim3", "dim4", "dim5"});
  harness.llm.on_relationship = [](const std::string& prompt) {
    const std::size_t at = prompt.find("\"name\":\"dim");
    const std::string dim = prompt.substr(at + 8, 4);
    return relationship_answer("sales", dim, {{"D" + dim.substr(3) + "_ID", "ID"}});
  };

  SemanticModelGenerator generator(catalogue.client(), 4, {{urn("sales")}});
  const auto model = generator.build();
  std::vector<std::string> names;
  for (const auto& table : model->tables) names.push_back(table->name);
  EXPECT_THAT(names, ElementsAre("sales", "dim2", "dim4", "dim5"));
  ASSERT_EQ(model->relationships->size(), 3u);
  EXPECT_EQ(model->relationships->at(0)->right_table, "dim2");  // groups in first-seen order
  const auto lines = harness.logs.lines();
  EXPECT_THAT(lines, Contains("debug Hit max tables, stopping"));
  EXPECT_THAT(lines, Contains("debug Skipping relationship between " + group_text("sales", "dim1") +
                              " because not all tables are registered"));
  EXPECT_THAT(lines, Contains("debug Skipping relationship between " + group_text("sales", "dim3") +
                              " because not all tables are registered"));
  EXPECT_EQ(harness.llm.requests().size(), 3u);
}

TEST_F(WholeBuild, JoinsThroughCtesAndSelfJoinsButNotMultiTableSides) {
  catalogue.dataset("orders", {key("ID"), column("CUSTOMER_ID")});
  catalogue.dataset("customers", {key("ID")}, 20);
  catalogue.dataset("employees", {key("ID"), column("MANAGER_ID")}, 10);
  catalogue.dataset("a", {key("X")}, 90);
  catalogue.dataset("b", {key("Y")}, 90);
  catalogue.query("cte",
                  "WITH recent AS (SELECT * FROM orders WHERE ordered_on > '2024-01-01') "
                  "SELECT * FROM recent r JOIN customers c ON r.customer_id = c.id",
                  {"orders", "customers"});
  catalogue.query("two_left", "SELECT * FROM orders o, a JOIN b ON b.y = a.x AND b.y = o.id",
                  {"orders", "a", "b"});
  catalogue.query("self",
                  "SELECT * FROM employees e JOIN employees m ON e.manager_id = m.id "
                  "JOIN orders o ON o.id = e.id",
                  {"employees", "orders"});
  harness.llm.on_relationship = [](const std::string& prompt) {
    if (prompt.find("\"name\":\"customers\"") != std::string::npos) {
      return relationship_answer("orders", "customers", {{"CUSTOMER_ID", "ID"}});
    }
    if (prompt.find("\"name\":\"orders\"") != std::string::npos) {
      return relationship_answer("employees", "orders", {{"ID", "ID"}}, "one_to_one");
    }
    return relationship_answer("employees", "employees", {{"MANAGER_ID", "ID"}});
  };

  SemanticModelGenerator generator(catalogue.client(), 30, {{urn("orders")}});
  const auto model = generator.build();
  std::vector<std::string> names;
  for (const auto& table : model->tables) names.push_back(table->name);
  // "a" and "b" are never queued: their join has two tables on its left side.
  EXPECT_THAT(names, ElementsAre("orders", "customers", "employees"));
  std::vector<std::string> relationships;
  for (const auto& relationship : *model->relationships) {
    relationships.push_back(relationship->left_table + "-" + relationship->right_table);
  }
  // Groups in first-seen order: the query "self" names the self join before the join to orders.
  EXPECT_THAT(relationships,
              ElementsAre("orders-customers", "employees-employees", "employees-orders"));
  // The self join's prompt describes its one table.
  const auto prompts = harness.llm.user_prompts();
  ASSERT_EQ(prompts.size(), 3u);
  EXPECT_THAT(prompts[1], HasSubstr("<logical_tables>\n[{\"name\":\"employees\""));
  EXPECT_EQ(prompts[1].find("\"name\":\"orders\""), std::string::npos);
}

TEST_F(WholeBuild, NoStartTablesGiveAModelWithoutTables) {
  SemanticModelGenerator generator(catalogue.client());
  const auto model = generator.build();
  EXPECT_TRUE(model->tables.empty());
  EXPECT_THAT(*model->relationships, IsEmpty());
  EXPECT_THAT(harness.logs.lines(), ElementsAre("debug No more tables to add, stopping",
                                                "warning Bad relationships: []"));
}

TEST_F(WholeBuild, ALimitOfZeroRegistersNothingAndAsksNothing) {
  SemanticModelGenerator generator(catalogue.client(), 0, {{urn("orders")}});
  EXPECT_TRUE(generator.build()->tables.empty());
  EXPECT_TRUE(catalogue.requests().empty());
  EXPECT_THAT(harness.logs.lines(), Contains("debug Hit max tables, stopping"));
}

TEST_F(WholeBuild, ALimitReachedWithAnEmptyQueueIsStillTheLimit) {
  catalogue.dataset("orders", {key("ID")});
  SemanticModelGenerator generator(catalogue.client(), 1, {{urn("orders")}});
  generator.build();
  EXPECT_THAT(harness.logs.lines(), Contains("debug Hit max tables, stopping"));
}

TEST_F(WholeBuild, ACatalogueFailureEndsTheBuildAndItsSpanFails) {
  SemanticModelGenerator generator(catalogue.client(), 30, {{urn("missing")}});
  EXPECT_THROW_MSG(generator.build(), platform::LookupError,
                   "Dataset not found: " + urn_text("missing"));
  const auto traces = harness.traces();
  ASSERT_EQ(traces.size(), 1u);
  EXPECT_EQ(traces[0].root().status, "ERROR");
}

TEST_F(WholeBuild, AnLlmFailureEndsTheBuild) {
  catalogue.dataset("orders", {column("ID")});
  harness.llm.on_primary_key = [](const std::string&) -> Value {
    throw platform::llm::CompletionError(401, "Incorrect API key provided");
  };
  SemanticModelGenerator generator(catalogue.client(), 30, {{urn("orders")}});
  EXPECT_THROW_MSG(generator.build(), platform::llm::CompletionError,
                   "LLM request failed with status 401: Incorrect API key provided");
}

TEST_F(WholeBuild, ATableNameTheLlmMadeUpFailsTheBuild) {
  catalogue.dataset("orders", {key("ID"), column("CUSTOMER_ID")});
  catalogue.dataset("customers", {key("ID")});
  catalogue.query("q1", "SELECT * FROM orders o JOIN customers c ON o.customer_id = c.id",
                  {"orders", "customers"});
  harness.llm.on_relationship = [](const std::string&) {
    return relationship_answer("orders", "clients", {{"CUSTOMER_ID", "ID"}});
  };
  SemanticModelGenerator generator(catalogue.client(), 30, {{urn("orders")}});
  EXPECT_THROW_MSG(generator.build(), platform::ValueError,
                   "Relationship 0 references table that is not in the semantic model: orders -> "
                   "clients: joined");
}

TEST_F(WholeBuild, NothingOfAFinishedBuildStaysInMemory) {
  catalogue.dataset("orders", {key("ID"), column("CUSTOMER_ID")});
  catalogue.dataset("customers", {key("ID")});
  catalogue.query("q1", "SELECT * FROM orders o JOIN customers c ON o.customer_id = c.id",
                  {"orders", "customers"});
  harness.llm.on_relationship = two_start_tables_relationship;
  std::vector<std::weak_ptr<semantic_model::LogicalTable>> built;
  for (int i = 0; i < 200; ++i) {
    SemanticModelGenerator generator(catalogue.client(), 30, {{urn("orders")}});
    const auto model = generator.build();
    for (const auto& table : model->tables) built.push_back(table);
  }
  // Each generator's memos went with it: no table of any build is still held.
  for (const auto& table : built) EXPECT_TRUE(table.expired());
  EXPECT_EQ(built.size(), 400u);
}

}  // namespace
}  // namespace orvane_semantic_agent::generate
