#include <gtest/gtest.h>

#include <functional>
#include <nlohmann/json.hpp>

#include "orvane_semantic_agent/semantic_model/semantic_model.hpp"
#include "platform/errors/errors.hpp"
#include "platform/json/ordered_json.hpp"
#include "tests/support/expect_throw.hpp"

namespace orvane_semantic_agent::semantic_model {
namespace {

using platform::Value;

Value parse(const char* json) {
  return platform::json::from_ordered_json(nlohmann::ordered_json::parse(json));
}

template <typename R>
std::string dump(const char* json, bool exclude_defaults = false) {
  return R::model_validate(parse(json))->model_dump_json(std::nullopt, exclude_defaults);
}

TEST(Validation, BaseTableReadsSchemaUnderItsKey) {
  const auto table =
      BaseTable::model_validate(parse(R"({"table":"t","schema":"s","database":"d"})"));
  EXPECT_EQ(table->schema_name, "s");
  EXPECT_EQ(table->model_dump_json(), R"({"database":"d","schema":"s","table":"t"})");
}

TEST(Validation, AcceptedInputsAndWhatTheyHold) {
  const struct {
    const char* name;
    std::function<std::string()> dump;
    const char* expected;
  } cases[] = {
      {"search service ignores schema_name, which is no key",
       [] { return dump<CortexSearchService>(R"({"service":"s","schema_name":"x"})"); },
       R"({"service":"s","literal_column":null,"database":null,"schema":null})"},
      {"dimension with only its required fields",
       [] { return dump<Dimension>(R"({"name":"n","expr":"e","data_type":"TEXT"})"); },
       R"({"name":"n","expr":"e","data_type":"TEXT","synonyms":null,"description":null,)"
       R"("unique":null,"sample_values":null,"cortex_search_service":null,"is_enum":null})"},
      {"fact drops the dimension-only keys",
       [] {
         return dump<Fact>(
             R"({"name":"n","expr":"e","data_type":"T","is_enum":true,"cortex_search_service":{"service":"s"}})",
             true);
       },
       R"({"name":"n","expr":"e","data_type":"T"})"},
      {"empty lists stay lists and false stays a value",
       [] {
         return dump<Dimension>(
             R"({"name":"n","expr":"e","data_type":"T","synonyms":[],"is_enum":false,"unique":false})",
             true);
       },
       R"({"name":"n","expr":"e","data_type":"T","synonyms":[],"unique":false,"is_enum":false})"},
      {"sample values of every kind are kept unchanged",
       [] {
         return dump<Metric>(
             R"({"name":"m","expr":"e","data_type":"T","sample_values":[1,"a",null,2.5,true,{"k":null},[]]})",
             true);
       },
       R"({"name":"m","expr":"e","data_type":"T","sample_values":[1,"a",null,2.5,true,{"k":null},[]]})"},
      {"an explicit null equals an absent optional field",
       [] { return dump<Filter>(R"({"name":"f","expr":"e","description":null})"); },
       R"({"name":"f","expr":"e","synonyms":null,"description":null})"},
      {"extra keys are dropped", [] { return dump<PrimaryKey>(R"({"columns":[],"extra":1})"); },
       R"({"columns":[]})"},
      {"a relationship with no column pairs",
       [] {
         return dump<Relationship>(
             R"({"name":"r","left_table":"a","right_table":"b","relationship_columns":[],)"
             R"("join_type":"inner","relationship_type":"one_to_one"})");
       },
       R"({"name":"r","left_table":"a","right_table":"b","relationship_columns":[],)"
       R"("join_type":"inner","relationship_type":"one_to_one"})"},
      {"a table's metrics and filters are built from maps",
       [] {
         return dump<LogicalTable>(
             R"({"name":"t","base_table":{"database":"d","schema":"s","table":"t"},)"
             R"("metrics":[{"name":"m","expr":"amount","data_type":"NUMBER"}],)"
             R"("filters":[{"name":"f","expr":"x > 1"}]})",
             true);
       },
       R"({"name":"t","base_table":{"database":"d","schema":"s","table":"t"},)"
       R"("metrics":[{"name":"m","expr":"amount","data_type":"NUMBER"}],)"
       R"("filters":[{"name":"f","expr":"x > 1"}]})"},
      {"a model without tables in its list",
       [] { return dump<SemanticModel>(R"({"name":"m","tables":[]})"); },
       R"({"name":"m","description":null,"tables":[],"relationships":null})"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.dump(), c.expected);
  }
}

TEST(Validation, EveryJoinAndRelationshipTypeBuilds) {
  for (const char* join : {"left_outer", "inner"}) {
    for (const char* kind : {"many_to_one", "one_to_one"}) {
      Value input =
          parse(R"({"name":"r","left_table":"a","right_table":"b","relationship_columns":[]})");
      input.set("join_type", join);
      input.set("relationship_type", kind);
      EXPECT_EQ(Relationship::model_validate(input)->join_type, join);
    }
  }
}

TEST(Validation, RefusedInputsNameLocationReasonAndValue) {
  const struct {
    const char* name;
    std::function<void()> build;
    const char* message;
  } cases[] = {
      {"schema_name is no key of a base table",
       [] {
         BaseTable::model_validate(parse(R"({"database":"d","schema_name":"s","table":"t"})"));
       },
       "1 validation error for BaseTable\nschema\n"
       "  missing field [value={'database': 'd', 'schema_name': 's', 'table': 't'}]"},
      {"null in a required text",
       [] { Dimension::model_validate(parse(R"({"name":"n","expr":"e","data_type":null})")); },
       "1 validation error for Dimension\ndata_type\n  expected text [value=None]"},
      {"numbers and booleans are not text",
       [] { Fact::model_validate(parse(R"({"name":5,"expr":true,"data_type":1.5})")); },
       "3 validation errors for Fact\nname\n  expected text [value=5]\n"
       "expr\n  expected text [value=True]\ndata_type\n  expected text [value=1.5]"},
      {"a date is not text",
       [] {
         Value input = parse(R"({"expr":"e","data_type":"T"})");
         input.set("name", platform::Date{2024, 1, 2});
         TimeDimension::model_validate(input);
       },
       "1 validation error for TimeDimension\nname\n  expected text [value=2024-01-02]"},
      {"one text where a list is expected",
       [] {
         Metric::model_validate(
             parse(R"({"name":"m","expr":"e","data_type":"T","synonyms":"abc"})"));
       },
       "1 validation error for Metric\nsynonyms\n  expected a list [value='abc']"},
      {"a list element that is not text",
       [] { PrimaryKey::model_validate(parse(R"({"columns":["a",{"b":1}]})")); },
       "1 validation error for PrimaryKey\ncolumns.1\n  expected text [value={'b': 1}]"},
      {"near-miss booleans are refused",
       [] {
         Dimension::model_validate(
             parse(R"({"name":"n","expr":"e","data_type":"T","unique":1,"is_enum":"true"})"));
       },
       "2 validation errors for Dimension\nunique\n  expected a boolean [value=1]\n"
       "is_enum\n  expected a boolean [value='true']"},
      {"a nested search service that fails",
       [] {
         Dimension::model_validate(parse(
             R"({"name":"n","expr":"e","data_type":"T","cortex_search_service":{"database":"d"}})"));
       },
       "1 validation error for Dimension\ncortex_search_service.service\n"
       "  missing field [value={'database': 'd'}]"},
      {"a nested record that is no map",
       [] {
         Dimension::model_validate(
             parse(R"({"name":"n","expr":"e","data_type":"T","cortex_search_service":"svc"})"));
       },
       "1 validation error for Dimension\ncortex_search_service\n"
       "  expected a map or a CortexSearchService record [value='svc']"},
      {"join and relationship types compare exactly",
       [] {
         Relationship::model_validate(
             parse(R"({"name":"r","left_table":"a","right_table":"b","relationship_columns":[],)"
                   R"("join_type":"LEFT_OUTER","relationship_type":"many-to-one"})"));
       },
       "2 validation errors for Relationship\njoin_type\n"
       "  expected one of 'left_outer', 'inner' [value='LEFT_OUTER']\nrelationship_type\n"
       "  expected one of 'many_to_one', 'one_to_one' [value='many-to-one']"},
      {"no default join type; a column pair without its right column",
       [] {
         Relationship::model_validate(parse(
             R"({"name":"r","left_table":"a","right_table":"b","relationship_columns":[{"left_column":"x"}],)"
             R"("relationship_type":"many_to_one"})"));
       },
       "2 validation errors for Relationship\nrelationship_columns.0.right_column\n"
       "  missing field [value={'left_column': 'x'}]\njoin_type\n"
       "  missing field [value={'name': 'r', 'left_table': 'a', 'right_table': 'b', "
       "'relationship_columns': [{'left_column': 'x'}], 'relationship_type'...]"},
      {"a table's base table is required",
       [] { LogicalTable::model_validate(parse(R"({"name":"t","base_table":null})")); },
       "1 validation error for LogicalTable\nbase_table\n"
       "  expected a map or a BaseTable record [value=None]"},
      {"a model's tables are required",
       [] { SemanticModel::model_validate(parse(R"({"name":"m","tables":null})")); },
       "1 validation error for SemanticModel\ntables\n  expected a list [value=None]"},
      {"the root must be a map", [] { SemanticModel::model_validate(Value()); },
       "1 validation error for SemanticModel\n"
       "  expected a map or a SemanticModel record [value=None]"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_THROW_MSG(c.build(), platform::ValidationError, c.message);
  }
}

TEST(Validation, FailuresAcrossTheTreeAreReportedOnce) {
  const Value input = parse(R"({"name":"m","tables":[
      {"name":"a","base_table":{"database":"d","schema":"s"}},
      {"name":"b","base_table":{"database":"d","schema":"s","table":"b"},"dimensions":[{"name":"x","expr":"x"}]},
      {"name":7,"base_table":{"database":"d","schema":"s","table":"c"}}]})");
  EXPECT_THROW_MSG(
      SemanticModel::model_validate(input), platform::ValidationError,
      "3 validation errors for SemanticModel\n"
      "tables.0.base_table.table\n  missing field [value={'database': 'd', 'schema': 's'}]\n"
      "tables.1.dimensions.0.data_type\n  missing field [value={'name': 'x', 'expr': 'x'}]\n"
      "tables.2.name\n  expected text [value=7]");
}

TEST(Validation, LongValuesAreShortenedInTheMessage) {
  Value input = parse(R"({"columns":null})");
  input.set("columns", std::string(1'000'000, 'x'));
  try {
    PrimaryKey::model_validate(input);
    FAIL() << "no failure";
  } catch (const platform::ValidationError& error) {
    EXPECT_LT(std::string(error.what()).size(), 250u);
    EXPECT_THAT(error.what(), ::testing::EndsWith("xxx...]"));
  }
}

}  // namespace
}  // namespace orvane_semantic_agent::semantic_model
