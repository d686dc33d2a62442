// The two LLM questions: a join group's relationship and a table's missing primary key.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "orvane_semantic_agent/generate/module_values.hpp"
#include "platform/json/json_writer.hpp"
#include "platform/llm/structured_client.hpp"
#include "tests/orvane_semantic_agent/generate/generator_test_support.hpp"
#include "tests/support/expect_throw.hpp"

namespace orvane_semantic_agent::generate {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

constexpr char kSystem[] =
    "You are an assistant that's an expert in data modeling and SQL, and are working to "
    "understand a customer environment.";

constexpr char kRelationshipHead[] =
    "Given the following two tables, your goal is to understand the data modeling relationship "
    "between them.\n"
    "You'll be given a number of example SQL statements that join the two tables.\n"
    "\n"
    "The extracted relationship information will serve as documentation for how other users "
    "should join the two tables.\n"
    "\n"
    "The left and right table names should correspond to table names in the logical_tables "
    "section.\n"
    "The left/right columns should also reference column names in the respective logical "
    "tables.\n"
    "For many-to-one relationships, the left table should be the many side of the relationship. "
    "For one-to-one relationships, the left table should be the first table listed.\n"
    "Be sure to include any additional usage notes in the description.\n"
    "\n"
    "<logical_tables>\n";

std::string relationship_prompt(const std::string& tables, const std::string& examples) {
  return kRelationshipHead + tables + "\n</logical_tables>\n\n<example_sqls>\n" + examples +
         "\n</example_sqls>\n\n";
}

// The compact full JSON of a table "SALES.PUBLIC.<NAME>" with one NUMBER key column "ID".
std::string table_json(const std::string& name, const std::string& upper_name) {
  return R"({"name":")" + name +
         R"(","description":null,"base_table":{"database":"SALES","schema":"PUBLIC","table":")" +
         upper_name +
         R"("},"primary_key":{"columns":["ID"]},"dimensions":[],"time_dimensions":[],"facts":)"
         R"([{"name":"ID","expr":"ID","data_type":"VARCHAR","synonyms":null,"description":null,)"
         R"("unique":null,"sample_values":null}],"metrics":null,"filters":null})";
}

// A SQL text of exactly `tokens` tokens, longer for more tokens.
std::string sql_of_tokens(std::size_t tokens) {
  std::string text = "SELECT";
  for (std::size_t i = 1; i < tokens; ++i) text += " x";  // one token each
  EXPECT_EQ(_token_count(text), tokens);
  return text;
}

std::string repeated(const std::string& text, std::size_t times) {
  std::string result;
  for (std::size_t i = 0; i < times; ++i) result += text;
  return result;
}

class RelationshipInference : public ::testing::Test {
 protected:
  RelationshipInference() {
    for (const char* table : {"orders", "customers", "regions"}) {
      catalogue.dataset(table, {key("ID")});
    }
    harness.llm.on_relationship = [](const std::string&) {
      return relationship_answer("orders", "customers", {{"CUSTOMER_ID", "ID"}}, "many_to_one",
                                 "Each order has one customer");
    };
  }

  std::shared_ptr<semantic_model::Relationship> infer(const std::vector<SourcedJoinInfo>& joins) {
    SemanticModelGenerator generator(catalogue.client());
    return GeneratorProbe::infer_relationship(generator, joins);
  }

  GeneratorHarness harness;
  CatalogueFixture catalogue;
};

TEST_F(RelationshipInference, AsksWithTheTablesAndTheExampleSqlAndNamesTheAnswer) {
  const std::string sql = "SELECT * FROM orders o JOIN customers c ON o.customer_id = c.id";
  const auto relationship =
      infer({sourced_join("q1", sql, {urn_text("orders")}, {urn_text("customers")}),
             sourced_join("q1", sql, {urn_text("orders")}, {urn_text("customers")})});
  EXPECT_EQ(relationship->name, "orders -> customers: Each order has one customer");
  EXPECT_EQ(relationship->left_table, "orders");
  EXPECT_EQ(relationship->right_table, "customers");
  ASSERT_EQ(relationship->relationship_columns.size(), 1u);
  EXPECT_EQ(relationship->relationship_columns[0]->left_column, "CUSTOMER_ID");
  EXPECT_EQ(relationship->relationship_columns[0]->right_column, "ID");
  EXPECT_EQ(relationship->join_type, "left_outer");
  EXPECT_EQ(relationship->relationship_type, "many_to_one");

  const auto requests = harness.llm.requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].find("model")->as_string(), "gpt-4o-mini");
  const Value::List& messages = requests[0].find("messages")->as_list();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0], (Value::Map{{"role", "system"}, {"content", kSystem}}));
  EXPECT_EQ(
      messages[1],
      (Value::Map{{"role", "user"},
                  {"content", relationship_prompt("[" + table_json("orders", "ORDERS") + "," +
                                                      table_json("customers", "CUSTOMERS") + "]",
                                                  "<example_sql>" + sql + "</example_sql>")}}));
  // The answer type offers exactly the model's join and relationship types.
  const std::string tools = platform::json::write(*requests[0].find("tools"));
  EXPECT_THAT(tools, HasSubstr(R"("enum":["many_to_one","one_to_one"])"));
  EXPECT_THAT(tools, HasSubstr(R"("enum":["left_outer","inner"])"));
}

TEST_F(RelationshipInference, ExamplesAreShortestFirstWithinTheTokenBudget) {
  const std::string a = sql_of_tokens(2000), b = sql_of_tokens(5000), c = sql_of_tokens(9000);
  const std::string same_length_1 = "SELECT 1 FROM a JOIN b",
                    same_length_2 = "SELECT 2 FROM a JOIN b";
  infer({sourced_join("q3", c, {urn_text("orders")}, {urn_text("customers")}),
         sourced_join("q2", b, {urn_text("orders")}, {urn_text("customers")}),
         sourced_join("q1", a, {urn_text("orders")}, {urn_text("customers")}),
         sourced_join("q5", same_length_2, {urn_text("orders")}, {urn_text("customers")}),
         sourced_join("q4", same_length_1, {urn_text("orders")}, {urn_text("customers")})});
  const std::string prompt = harness.llm.user_prompts().at(0);
  // Equal lengths keep first-seen order; 2000 + 5000 + 9000 would pass 15000.
  EXPECT_THAT(
      prompt,
      HasSubstr("<example_sqls>\n<example_sql>" + same_length_2 + "</example_sql>\n<example_sql>" +
                same_length_1 + "</example_sql>\n<example_sql>" + a +
                "</example_sql>\n<example_sql>" + b + "</example_sql>\n</example_sqls>\n\n"));
  EXPECT_EQ(prompt.find(c), std::string::npos);
}

TEST_F(RelationshipInference, TheFirstExampleThatDoesNotFitEndsTheSelection) {
  // By characters: first (4007) < second (4009) < third (6009); by bytes the third comes first.
  const std::string first = "SELECT '" + repeated("\u9f49", 3998) + "'";
  const std::string second = first + " x";
  const std::string third = "SELECT 1" + std::string(6000, ' ') + "x";
  ASSERT_EQ(_token_count(first), 7999u);
  ASSERT_EQ(_token_count(second), 8000u);
  ASSERT_EQ(_token_count(third), 52u);
  infer({sourced_join("q3", third, {urn_text("orders")}, {urn_text("customers")}),
         sourced_join("q2", second, {urn_text("orders")}, {urn_text("customers")}),
         sourced_join("q1", first, {urn_text("orders")}, {urn_text("customers")})});
  // The third would still fit, but the selection ended at the second.
  EXPECT_THAT(harness.llm.user_prompts().at(0), HasSubstr("<example_sqls>\n<example_sql>" + first +
                                                          "</example_sql>\n</example_sqls>"));
}

TEST_F(RelationshipInference, AShortestExampleOverTheBudgetLeavesTheExamplesEmpty) {
  const std::string huge = sql_of_tokens(15001);
  infer({sourced_join("q1", huge, {urn_text("orders")}, {urn_text("customers")})});
  EXPECT_THAT(harness.llm.user_prompts().at(0),
              HasSubstr("</logical_tables>\n\n<example_sqls>\n\n</example_sqls>\n\n"));
}

TEST_F(RelationshipInference, DescribesEveryTableOfTheJoinsOnceInFirstSeenOrder) {
  infer({sourced_join("q1", "SELECT 1", {urn_text("regions"), urn_text("orders")},
                      {urn_text("customers")}),
         sourced_join("q2", "SELECT 2", {urn_text("orders")}, {urn_text("regions")})});
  EXPECT_THAT(harness.llm.user_prompts().at(0),
              HasSubstr("<logical_tables>\n[" + table_json("regions", "REGIONS") + "," +
                        table_json("orders", "ORDERS") + "," +
                        table_json("customers", "CUSTOMERS") + "]\n</logical_tables>"));
}

TEST_F(RelationshipInference, ASelfJoinDescribesOneTable) {
  infer({sourced_join("q1", "SELECT 1", {urn_text("orders")}, {urn_text("orders")})});
  const std::string prompt = harness.llm.user_prompts().at(0);
  EXPECT_THAT(prompt, HasSubstr("Given the following two tables"));
  EXPECT_THAT(prompt, HasSubstr("<logical_tables>\n[" + table_json("orders", "ORDERS") + "]\n"));
}

TEST_F(RelationshipInference, NoJoinsStillAsksWithNoTablesAndNoExamples) {
  infer({});
  EXPECT_EQ(harness.llm.user_prompts().at(0), relationship_prompt("[]", ""));
}

TEST_F(RelationshipInference, TakesTheAnswersNamesAsGiven) {
  harness.llm.on_relationship = [](const std::string&) {
    return relationship_answer("made_up", "customers", {}, "one_to_one", "", "inner");
  };
  const auto relationship =
      infer({sourced_join("q1", "SELECT 1", {urn_text("orders")}, {urn_text("customers")})});
  EXPECT_EQ(relationship->name, "made_up -> customers: ");
  EXPECT_EQ(relationship->left_table, "made_up");
  EXPECT_TRUE(relationship->relationship_columns.empty());
}

TEST_F(RelationshipInference, AnAnswerOutsideTheAllowedTypesIsAskedAgainThenFails) {
  harness.llm.on_relationship = [](const std::string&) {
    return relationship_answer("orders", "customers", {}, "many_to_many");
  };
  EXPECT_THROW_SUBSTR(
      infer({sourced_join("q1", "SELECT 1", {urn_text("orders")}, {urn_text("customers")})}),
      platform::llm::StructuredOutputError, "");
  EXPECT_EQ(harness.llm.requests().size(), 3u);  // the library's default of two re-asks
}

TEST_F(RelationshipInference, ATableThatCannotBeBuiltFailsBeforeAnyLlmCall) {
  EXPECT_THROW(infer({sourced_join("q1", "SELECT 1", {urn_text("orders")}, {urn_text("nope")})}),
               platform::LookupError);
  EXPECT_TRUE(harness.llm.requests().empty());
}

constexpr char kPrimaryKeyHead[] =
    "Given the following information about a logical table, determine the primary key "
    "column(s).\n"
    "There will typically be one primary key column, but there may be multiple if the table has "
    "a composite primary key. There will always be at least one primary key column.\n"
    "Columns that are foreign keys to other tables are usually not part of the primary key. In "
    "other words, we're looking for the columns that uniquely identify each row in the table - "
    "the grain of the table.\n"
    "The primary key column name(s) must be valid column names in the logical table.\n"
    "\n"
    "This information will be used to ensure that the table is used correctly in SQL queries.\n"
    "\n"
    "<logical_table>\n";

constexpr char kPrimaryKeyTail[] =
    "\n</logical_table>\n"
    "\n"
    "When unsure, pick the most likely candidates. Respond with only the column names, and no "
    "other text.\n";

class PrimaryKeyInference : public ::testing::Test {
 protected:
  GeneratorHarness harness;
  CatalogueFixture catalogue;
};

TEST_F(PrimaryKeyInference, AsksOnceForATableWithoutKeyAndSetsTheAnswerInOrder) {
  catalogue.dataset("lines", {column("ORDER_ID", "NUMBER"), column("LINE_NO", "NUMBER")});
  harness.llm.on_primary_key = [](const std::string&) {
    return Value::List{"ORDER_ID", "LINE_NO"};
  };
  SemanticModelGenerator generator(catalogue.client());
  const auto table = generator.build_logical_table(urn("lines"));
  GeneratorProbe::ensure_primary_keys(generator, *table);
  EXPECT_THAT(table->primary_key->columns, ElementsAre("ORDER_ID", "LINE_NO"));
  EXPECT_EQ(generator.build_logical_table(urn("lines"))->primary_key, table->primary_key);

  const auto requests = harness.llm.requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].find("model")->as_string(), "gpt-4o-mini");
  const Value::List& messages = requests[0].find("messages")->as_list();
  EXPECT_EQ(messages[0], (Value::Map{{"role", "system"}, {"content", kSystem}}));
  const std::string table_text =
      "{\n"
      "  \"name\": \"lines\",\n"
      "  \"description\": null,\n"
      "  \"base_table\": {\n"
      "    \"database\": \"SALES\",\n"
      "    \"schema\": \"PUBLIC\",\n"
      "    \"table\": \"LINES\"\n"
      "  },\n"
      "  \"primary_key\": null,\n"
      "  \"dimensions\": [],\n"
      "  \"time_dimensions\": [],\n"
      "  \"facts\": [\n"
      "    {\n"
      "      \"name\": \"ORDER_ID\",\n"
      "      \"expr\": \"ORDER_ID\",\n"
      "      \"data_type\": \"VARCHAR\",\n"
      "      \"synonyms\": null,\n"
      "      \"description\": null,\n"
      "      \"unique\": null,\n"
      "      \"sample_values\": null\n"
      "    },\n"
      "    {\n"
      "      \"name\": \"LINE_NO\",\n"
      "      \"expr\": \"LINE_NO\",\n"
      "      \"data_type\": \"VARCHAR\",\n"
      "      \"synonyms\": null,\n"
      "      \"description\": null,\n"
      "      \"unique\": null,\n"
      "      \"sample_values\": null\n"
      "    }\n"
      "  ],\n"
      "  \"metrics\": null,\n"
      "  \"filters\": null\n"
      "}";
  EXPECT_EQ(messages[1], (Value::Map{{"role", "user"},
                                     {"content", kPrimaryKeyHead + table_text + kPrimaryKeyTail}}));
  EXPECT_THAT(harness.logs.lines(), ::testing::Contains("debug Inferring primary keys for lines"));
}

TEST_F(PrimaryKeyInference, AFlaggedKeyIsNeverSentToTheLlm) {
  catalogue.dataset("orders", {key("ID")});
  SemanticModelGenerator generator(catalogue.client());
  const auto table = generator.build_logical_table(urn("orders"));
  GeneratorProbe::ensure_primary_keys(generator, *table);
  EXPECT_TRUE(harness.llm.requests().empty());
  for (const std::string& line : harness.logs.lines()) {
    EXPECT_THAT(line, ::testing::Not(HasSubstr("Inferring primary keys")));
  }
}

TEST_F(PrimaryKeyInference, AnEmptyAnswerGivesAKeyWithoutColumns) {
  catalogue.dataset("lines", {column("X")});
  harness.llm.on_primary_key = [](const std::string&) { return Value::List{}; };
  SemanticModelGenerator generator(catalogue.client());
  const auto table = generator.build_logical_table(urn("lines"));
  GeneratorProbe::ensure_primary_keys(generator, *table);
  ASSERT_TRUE(table->primary_key);
  EXPECT_TRUE(table->primary_key->columns.empty());
}

TEST_F(PrimaryKeyInference, AFailedCallLeavesTheTableWithoutKey) {
  catalogue.dataset("lines", {column("X")});
  harness.llm.on_primary_key = [](const std::string&) -> Value {
    throw platform::llm::CompletionError(503, "overloaded");
  };
  SemanticModelGenerator generator(catalogue.client());
  const auto table = generator.build_logical_table(urn("lines"));
  EXPECT_THROW(GeneratorProbe::ensure_primary_keys(generator, *table),
               platform::llm::CompletionError);
  EXPECT_FALSE(table->primary_key);
}

}  // namespace
}  // namespace orvane_semantic_agent::generate
