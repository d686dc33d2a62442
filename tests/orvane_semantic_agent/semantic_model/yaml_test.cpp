#include <gtest/gtest.h>

#include "orvane_semantic_agent/semantic_model/semantic_model.hpp"
#include "platform/errors/errors.hpp"
#include "tests/orvane_semantic_agent/semantic_model/worked_example.hpp"
#include "tests/support/expect_throw.hpp"
#include "tests/support/worked_example_yaml.hpp"

namespace orvane_semantic_agent::semantic_model {
namespace {

using platform::Value;

// A model of one table "t" whose YAML body follows `table_extra` lines of the table.
std::string one_table_yaml(const std::string& table_extra, const std::string& model_extra = "") {
  return "name: m\n" + model_extra +
         "tables:\n"
         "- name: t\n"
         "  base_table:\n"
         "    database: d\n"
         "    schema: s\n"
         "    table: t\n" +
         table_extra;
}

TEST(Yaml, WorkedExampleWritesAndReadsBack) {
  const SemanticModel model = testing::worked_example();
  EXPECT_EQ(model.to_yaml(), osa_test::kWorkedExampleYaml);
  const auto back = SemanticModel::from_yaml(osa_test::kWorkedExampleYaml);
  EXPECT_EQ(back->model_dump(), model.model_dump());
  EXPECT_NE(back->tables[0], model.tables[0]);
}

TEST(Yaml, OnlyRequiredAndNonNullFieldsAreWritten) {
  SemanticModel model{.name = "m", .description = std::nullopt, .tables = {}};
  EXPECT_EQ(model.to_yaml(), "name: m\ntables: []\n");
  model.relationships = std::vector<std::shared_ptr<Relationship>>{};
  EXPECT_EQ(model.to_yaml(), "name: m\ntables: []\nrelationships: []\n");
  EXPECT_TRUE(SemanticModel::from_yaml(model.to_yaml())->relationships.has_value());

  const std::string with_dimension = one_table_yaml(
      "  dimensions:\n"
      "  - name: flag\n"
      "    expr: flag\n"
      "    data_type: BOOLEAN\n"
      "    is_enum: false\n");
  EXPECT_EQ(SemanticModel::from_yaml(with_dimension)->to_yaml(), with_dimension);
}

TEST(Yaml, TextsThatWouldReadAsOtherKindsAreQuoted) {
  const struct {
    const char* description;
    const char* line;
  } cases[] = {
      {"2024-01-02", "  description: '2024-01-02'\n"},
      {"true", "  description: 'true'\n"},
      {"caf\xC3\xA9", "  description: \"caf\\xE9\"\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.description);
    SemanticModel model = testing::worked_example();
    model.tables[1]->description = c.description;
    const std::string text = model.to_yaml();
    EXPECT_NE(text.find(c.line), std::string::npos) << text;
    EXPECT_EQ(SemanticModel::from_yaml(text)->tables[1]->description, c.description);
  }
}

TEST(Yaml, SampleValueDatesComeBackAsText) {
  SemanticModel model = testing::worked_example();
  model.tables[0]->facts = {{std::make_shared<Fact>(
      Fact{.name = "day",
           .expr = "day",
           .data_type = "DATE",
           .sample_values = Value::List{platform::Date{2024, 2, 29}, 1, nullptr}})}};
  const auto back = SemanticModel::from_yaml(model.to_yaml());
  EXPECT_EQ(back->model_dump(), model.model_dump());
  EXPECT_EQ((*back->tables[0]->facts)[0]->sample_values->front(), Value("2024-02-29"));
}

TEST(Yaml, ReadingDropsExtraKeysAndRefusesBrokenRecords) {
  EXPECT_EQ(SemanticModel::from_yaml(one_table_yaml("  colour: blue\n", "owner: me\n"))->to_yaml(),
            one_table_yaml(""));
  EXPECT_THROW_SUBSTR(
      SemanticModel::from_yaml("name: m\ntables:\n- name: t\n  base_table:\n"
                               "    database: d\n    schema_name: s\n    table: t\n"),
      platform::ValidationError, "tables.0.base_table.schema\n  missing field");
  EXPECT_THROW_SUBSTR(
      SemanticModel::from_yaml("name: m\ntables:\n- name: 2024-01-02\n"
                               "  base_table: {database: d, schema: s, table: t}\n"),
      platform::ValidationError, "tables.0.name\n  expected text [value=2024-01-02]");
  EXPECT_THROW_SUBSTR(
      SemanticModel::from_yaml(
          "name: m\ntables: []\nrelationships:\n- name: r\n  left_table: a\n  right_table: b\n"
          "  relationship_columns: []\n  join_type: LEFT_OUTER\n  relationship_type: "
          "many_to_one\n"),
      platform::ValidationError, "relationships.0.join_type");
}

TEST(Yaml, DocumentsThatAreNoMapFailValidationAtTheRoot) {
  for (const char* text : {"", "# only a comment\n", "- a\n", "just text\n"}) {
    SCOPED_TRACE(text);
    EXPECT_THROW_SUBSTR(SemanticModel::from_yaml(text), platform::ValidationError,
                        "1 validation error for SemanticModel\n  expected a map");
  }
  EXPECT_THROW(SemanticModel::from_yaml("name: [\n"), platform::YAMLError);
}

}  // namespace
}  // namespace orvane_semantic_agent::semantic_model
