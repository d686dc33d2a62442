// The in-memory catalogue: loading fixtures, telling operations apart, recording requests.
#include <gtest/gtest.h>

#include "orvane/sdk/graphql_error.hpp"
#include "orvane/sdk/internal/graphql_text.hpp"
#include "tests/fakes/catalogue/in_memory_graph.hpp"
#include "tests/fakes/catalogue/internal/selection_set.hpp"
#include "tests/support/expect_throw.hpp"

namespace {

using orvane::sdk::InMemoryOrvaneGraph;
using orvane::sdk::internal::operation_selection;
using orvane::sdk::internal::root_field;
using platform::Value;

TEST(InMemoryFixture, BadFixturesAreRejectedAtLoad) {
  EXPECT_THROW_MSG(InMemoryOrvaneGraph::from_json_text("{\"entities\": "), platform::ValueError,
                   "Invalid catalogue fixture: not valid JSON");
  EXPECT_THROW_MSG(InMemoryOrvaneGraph::from_json_text("[]"), platform::ValueError,
                   "Invalid catalogue fixture: the top level must be an object");
  EXPECT_THROW_SUBSTR(InMemoryOrvaneGraph::from_json_text(R"({"entities": {"orders": {}}})"),
                      platform::ValueError, "Invalid catalogue fixture: Invalid urn \"orders\"");
  EXPECT_THROW_MSG(InMemoryOrvaneGraph::from_json_text(R"({"queries": [{"urn": "q"}]})"),
                   platform::ValueError,
                   "Invalid catalogue fixture: queries[0] needs a text \"urn\" and a list "
                   "\"subjects\"");
  EXPECT_THROW_SUBSTR(InMemoryOrvaneGraph::from_file("/nonexistent/fixture.json"),
                      platform::ValueError, "cannot read /nonexistent/fixture.json");
}

TEST(InMemoryFixture, RecordsEveryOperationWithItsVariables) {
  auto graph = InMemoryOrvaneGraph::from_json_text(R"({"entities": {"urn:orvane:query:q": {}}})");
  graph->get_entity_semityped("urn:orvane:query:q");
  graph->execute_graphql("{ listQueries(input: $input) { total } }",
                         Value::Map{{"input", Value::Map{}}});
  EXPECT_THROW(graph->execute_graphql("{ other }", Value()), orvane::sdk::GraphQLError);
  const auto requests = graph->requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[0].operation, "entity");
  EXPECT_EQ(*requests[0].variables.find("urn"), Value("urn:orvane:query:q"));
  EXPECT_EQ(requests[1].operation, "listQueries");
  EXPECT_EQ(requests[2].operation, "other");
}

TEST(GraphQLText, RootFieldSkipsDefinitionsAliasesAndComments) {
  EXPECT_EQ(root_field("{ entity(urn: \"x\") { urn } }"), "entity");
  EXPECT_EQ(root_field("query q($input: In! = {a: \"}{\"}) {\n # listQueries {\n"
                       "  found: listQueries(input: $input) { total } }"),
            "listQueries");
  EXPECT_EQ(root_field("# only { a comment\nquery q"), std::nullopt);
  EXPECT_EQ(root_field("query q { }"), std::nullopt);
  EXPECT_EQ(root_field(""), std::nullopt);
}

TEST(GraphQLText, OperationSelectionIsTheTreeOfFieldNames) {
  const auto root = operation_selection(
      "query q($a: In = {x: \"{\"}) { alias: entity(urn: \"}\") { urn # { comment\n"
      "  aspects(names: [\"a\"]) { name value } } }");
  ASSERT_EQ(root.size(), 1u);
  EXPECT_EQ(root[0].name, "entity");
  ASSERT_EQ(root[0].selection.size(), 2u);
  EXPECT_EQ(root[0].selection[0].name, "urn");
  EXPECT_TRUE(root[0].selection[0].selection.empty());
  EXPECT_EQ(root[0].selection[1].name, "aspects");
  EXPECT_EQ(root[0].selection[1].selection.size(), 2u);
  EXPECT_THROW_MSG(operation_selection("{ entity { urn "), platform::ValueError,
                   "Syntax Error: Expected \"}\", found <EOF>.");
  EXPECT_THROW_MSG(operation_selection("{ entity(urn: \"x\" { urn } }"), platform::ValueError,
                   "Syntax Error: Expected \")\", found <EOF>.");
  EXPECT_THROW(operation_selection(std::string(1000, '{') + "a" + std::string(1000, '}')),
               platform::ValueError);
}

}  // namespace
