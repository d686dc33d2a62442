#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "orvane_semantic_agent/semantic_model/semantic_model.hpp"
#include "tests/orvane_semantic_agent/semantic_model/worked_example.hpp"

namespace orvane_semantic_agent::semantic_model {
namespace {

using platform::Value;

TEST(WorkedExample, CompactJsonWithoutDefaults) {
  EXPECT_EQ(
      testing::worked_example().model_dump_json(std::nullopt, true),
      R"({"name":"semantic_model","tables":[)"
      R"({"name":"queries","base_table":{"database":"snowflake","schema":"metadata","table":"queries"},)"
      R"("primary_key":{"columns":["query_urn"]},)"
      R"("filters":[{"name":"system_queries","expr":"source = 'SYSTEM'","synonyms":["system"]}]},)"
      R"({"name":"datasets","base_table":{"database":"snowflake","schema":"metadata","table":"datasets"},)"
      R"("primary_key":{"columns":["urn"]}}],)"
      R"("relationships":[{"name":"queries_datasets","left_table":"queries","right_table":"datasets",)"
      R"("relationship_columns":[{"left_column":"dataset","right_column":"urn"}],)"
      R"("join_type":"left_outer","relationship_type":"many_to_one"}]})");
}

TEST(WorkedExample, IndentedJsonWithoutDefaults) {
  const std::string text = testing::worked_example().model_dump_json(2, true);
  EXPECT_THAT(text, ::testing::StartsWith("{\n"
                                          "  \"name\": \"semantic_model\",\n"
                                          "  \"tables\": [\n"
                                          "    {\n"
                                          "      \"name\": \"queries\",\n"
                                          "      \"base_table\": {\n"
                                          "        \"database\": \"snowflake\",\n"));
  EXPECT_THAT(text, ::testing::EndsWith("      \"join_type\": \"left_outer\",\n"
                                        "      \"relationship_type\": \"many_to_one\"\n"
                                        "    }\n"
                                        "  ]\n"
                                        "}"));
  EXPECT_EQ(text.find("null"), std::string::npos);
}

TEST(WorkedExample, FullIndentedTableWritesNullFields) {
  EXPECT_EQ(testing::worked_example().tables[0]->model_dump_json(2),
            "{\n"
            "  \"name\": \"queries\",\n"
            "  \"description\": null,\n"
            "  \"base_table\": {\n"
            "    \"database\": \"snowflake\",\n"
            "    \"schema\": \"metadata\",\n"
            "    \"table\": \"queries\"\n"
            "  },\n"
            "  \"primary_key\": {\n"
            "    \"columns\": [\n"
            "      \"query_urn\"\n"
            "    ]\n"
            "  },\n"
            "  \"dimensions\": null,\n"
            "  \"time_dimensions\": null,\n"
            "  \"facts\": null,\n"
            "  \"metrics\": null,\n"
            "  \"filters\": [\n"
            "    {\n"
            "      \"name\": \"system_queries\",\n"
            "      \"expr\": \"source = 'SYSTEM'\",\n"
            "      \"synonyms\": [\n"
            "        \"system\"\n"
            "      ],\n"
            "      \"description\": null\n"
            "    }\n"
            "  ]\n"
            "}");
}

TEST(WorkedExample, CompactFullListOfTables) {
  EXPECT_EQ(model_dump_json(std::vector{testing::worked_example().tables[1]}),
            R"([{"name":"datasets","description":null,)"
            R"("base_table":{"database":"snowflake","schema":"metadata","table":"datasets"},)"
            R"("primary_key":{"columns":["urn"]},"dimensions":null,"time_dimensions":null,)"
            R"("facts":null,"metrics":null,"filters":null}])");
  EXPECT_EQ(model_dump_json(std::vector<std::shared_ptr<LogicalTable>>{}), "[]");
}

TEST(Dump, ExcludeDefaultsLeavesOutExactlyTheNullOptionals) {
  auto dimension = std::make_shared<Dimension>(Dimension{
      .name = "status",
      .expr = "status",
      .data_type = "TEXT",
      .synonyms = std::vector<std::string>{},
      .description = "",
      .sample_values = Value::List{nullptr, Value::Map{{"k", nullptr}}},
      .is_enum = false,
  });
  LogicalTable table{.name = "t",
                     .description = "set, then cleared",
                     .base_table = std::make_shared<BaseTable>(),
                     .dimensions = {{dimension}}};
  table.description.reset();
  EXPECT_EQ(table.model_dump_json(std::nullopt, true),
            R"({"name":"t","base_table":{"database":"","schema":"","table":""},)"
            R"("dimensions":[{"name":"status","expr":"status","data_type":"TEXT","synonyms":[],)"
            R"("description":"","sample_values":[null,{"k":null}],"is_enum":false}]})");
}

TEST(Dump, DatesInSampleValuesBecomeIsoTextAtEveryDepth) {
  const Fact fact{.name = "day",
                  .expr = "day",
                  .data_type = "DATE",
                  .sample_values = Value::List{
                      platform::Date{2024, 2, 29},
                      Value::List{platform::DateTime{{2024, 2, 29}, 10, 20, 30, 0, 0}},
                      Value::Map{{"at", platform::DateTime{{2024, 2, 29}, 10, 20, 30, 5, -60}}},
                      platform::BigInt{"123456789012345678901234567890"},
                  }};
  const Value dump = fact.model_dump(true);
  EXPECT_EQ(*dump.find("sample_values"),
            Value(Value::List{"2024-02-29", Value::List{"2024-02-29T10:20:30Z"},
                              Value::Map{{"at", "2024-02-29T10:20:30.000005-01:00"}},
                              platform::BigInt{"123456789012345678901234567890"}}));
  EXPECT_EQ(fact.model_dump_json(std::nullopt, true),
            R"({"name":"day","expr":"day","data_type":"DATE","sample_values":["2024-02-29",)"
            R"(["2024-02-29T10:20:30Z"],{"at":"2024-02-29T10:20:30.000005-01:00"},)"
            R"(123456789012345678901234567890]})");
}

TEST(Dump, TextIsWrittenAsUtf8WithMinimalEscapes) {
  const Filter filter{.name = "caf\xC3\xA9", .expr = "a = \"b\"\n\tor c = '\\'"};
  EXPECT_EQ(filter.model_dump_json(std::nullopt, true),
            "{\"name\":\"caf\xC3\xA9\",\"expr\":\"a = \\\"b\\\"\\n\\tor c = '\\\\'\"}");
}

TEST(Sharing, ModelsHoldTheTablesTheyAreGiven) {
  auto table = testing::make_table("orders", "id");
  table->primary_key = nullptr;
  const SemanticModel first{.name = "a", .tables = {table}};
  const SemanticModel second{.name = "b", .tables = {table}};
  table->primary_key = std::make_shared<PrimaryKey>(PrimaryKey{.columns = {"order_id"}});
  EXPECT_EQ(first.tables[0], table);
  EXPECT_EQ(first.tables[0]->primary_key->columns, std::vector<std::string>{"order_id"});
  EXPECT_EQ(*second.model_dump(true).find("tables"), *first.model_dump(true).find("tables"));
}

TEST(Sharing, ValidatedTreesShareNothingWithTheirInput) {
  const Value dump = testing::worked_example().model_dump();
  const auto first = SemanticModel::model_validate(dump);
  const auto second = SemanticModel::model_validate(dump);
  EXPECT_NE(first->tables[0], second->tables[0]);
  EXPECT_EQ(first->model_dump(), dump);
}

}  // namespace
}  // namespace orvane_semantic_agent::semantic_model
