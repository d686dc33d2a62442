// Logical tables from catalogue datasets.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/orvane_semantic_agent/generate/generator_test_support.hpp"
#include "tests/support/expect_throw.hpp"

namespace orvane_semantic_agent::generate {
namespace {

using ::testing::ElementsAre;

Value::Map dataset_aspects(const Value& properties, Value::List fields = {}) {
  return Value::Map{{"datasetProperties", properties},
                    {"schemaMetadata", Value::Map{{"fields", std::move(fields)}}}};
}

template <typename Column>
std::vector<std::string> names(const std::optional<std::vector<std::shared_ptr<Column>>>& list) {
  std::vector<std::string> result;
  for (const auto& column : list.value()) result.push_back(column->name);
  return result;
}

class LogicalTableBuilder : public ::testing::Test {
 protected:
  std::shared_ptr<semantic_model::LogicalTable> build(const std::string& table) {
    SemanticModelGenerator generator(catalogue.client());
    return generator.build_logical_table(urn(table));
  }

  GeneratorHarness harness;
  CatalogueFixture catalogue;
};

TEST_F(LogicalTableBuilder, SortsEveryFieldByItsCatalogueType) {
  catalogue.dataset("orders",
                    {key("ORDER_ID"), column("ORDERED_ON", "DATE"), column("ORDERED_AT", "TIME"),
                     column("STATUS", "ENUM"), column("IS_PAID", "BOOLEAN"), column("NOTE"),
                     column("AMOUNT", "NUMBER"), key("LINE", "STRING"), column("TAGS", "ARRAY")});
  const auto table = build("orders");
  EXPECT_EQ(table->name, "orders");
  EXPECT_EQ(table->base_table->database, "SALES");
  EXPECT_EQ(table->base_table->schema_name, "PUBLIC");
  EXPECT_EQ(table->base_table->table, "ORDERS");
  EXPECT_THAT(table->primary_key->columns, ElementsAre("ORDER_ID", "LINE"));
  EXPECT_THAT(names(table->time_dimensions), ElementsAre("ORDERED_ON", "ORDERED_AT"));
  EXPECT_THAT(names(table->facts), ElementsAre("ORDER_ID", "AMOUNT"));
  EXPECT_THAT(names(table->dimensions), ElementsAre("STATUS", "IS_PAID", "NOTE", "LINE", "TAGS"));
  std::vector<bool> enums;
  for (const auto& dimension : *table->dimensions) enums.push_back(dimension->is_enum.value());
  EXPECT_THAT(enums, ElementsAre(true, true, false, false, false));
  EXPECT_FALSE(table->metrics.has_value());
  EXPECT_FALSE(table->filters.has_value());
}

TEST_F(LogicalTableBuilder, ColumnsKeepTheCataloguesTextsUnchanged) {
  catalogue.entity(urn_text("t"), dataset_aspects(Value::Map{{"name", "T"},
                                                             {"qualifiedName", "a.b.c"},
                                                             {"description", "About t"}},
                                                  {Value::Map{{"fieldPath", "Amount $"},
                                                              {"nativeDataType", "NUMBER(38,2)"},
                                                              {"type", "NUMBER"},
                                                              {"description", "In euro"}}}));
  const auto table = build("t");
  EXPECT_EQ(table->description, "About t");
  const auto& fact = *table->facts->at(0);
  EXPECT_EQ(fact.name, "Amount $");
  EXPECT_EQ(fact.expr, "Amount $");
  EXPECT_EQ(fact.data_type, "NUMBER(38,2)");
  EXPECT_EQ(fact.description, "In euro");
  EXPECT_FALSE(table->primary_key);
}

TEST_F(LogicalTableBuilder, ADatasetWithoutFieldsHasThreeEmptyListsAndNoKey) {
  catalogue.entity(urn_text("bare"), dataset_aspects(Value::Map{{"qualifiedName", "a.b.c"}}));
  const auto table = build("bare");
  EXPECT_EQ(table->name, "sales.public.bare");  // no display name: the URN's name
  EXPECT_TRUE(table->dimensions->empty());
  EXPECT_TRUE(table->time_dimensions->empty());
  EXPECT_TRUE(table->facts->empty());
  EXPECT_FALSE(table->primary_key);
  EXPECT_FALSE(table->description.has_value());
}

TEST_F(LogicalTableBuilder, AnEmptyDisplayNameFallsBackToTheUrnsName) {
  catalogue.entity(urn_text("t"),
                   dataset_aspects(Value::Map{{"name", ""}, {"qualifiedName", "a.b.c"}}));
  EXPECT_EQ(build("t")->name, "sales.public.t");
}

TEST_F(LogicalTableBuilder, TheQualifiedNameSplitsAtItsFirstTwoDots) {
  catalogue.entity(urn_text("dotted"), dataset_aspects(Value::Map{{"qualifiedName", "a.b.c.d"}}));
  catalogue.entity(urn_text("short"), dataset_aspects(Value::Map{{"qualifiedName", "a.b"}}));
  catalogue.entity(urn_text("plain"), dataset_aspects(Value::Map{{"qualifiedName", "abc"}}));
  catalogue.entity(urn_text("unnamed"), dataset_aspects(Value::Map{{"name", "x"}}));
  const auto dotted = build("dotted");
  EXPECT_EQ(dotted->base_table->database, "a");
  EXPECT_EQ(dotted->base_table->schema_name, "b");
  EXPECT_EQ(dotted->base_table->table, "c.d");
  EXPECT_THROW_MSG(build("short"), platform::IndexError, "list index out of range");
  EXPECT_THROW_MSG(build("plain"), platform::IndexError, "list index out of range");
  EXPECT_THROW_MSG(build("unnamed"), platform::AssertionError, "");
}

TEST_F(LogicalTableBuilder, IsBuiltOncePerGeneratorAndAFailureIsTriedAgain) {
  catalogue.dataset("orders", {key("ID")});
  catalogue.entity(urn_text("short"), dataset_aspects(Value::Map{{"qualifiedName", "a.b"}}));
  SemanticModelGenerator generator(catalogue.client());
  const auto first = generator.build_logical_table(urn("orders"));
  const auto again = generator.build_logical_table(urn("orders"));
  EXPECT_EQ(first.get(), again.get());
  EXPECT_EQ(catalogue.requests().size(), 1u);
  EXPECT_THAT(harness.logs.lines(),
              ElementsAre("debug Building logical table for " + urn_text("orders")));

  EXPECT_THROW(generator.build_logical_table(urn("short")), platform::IndexError);
  EXPECT_THROW(generator.build_logical_table(urn("short")), platform::IndexError);
  EXPECT_EQ(catalogue.requests().size(), 3u);

  SemanticModelGenerator another(catalogue.client());
  EXPECT_NE(another.build_logical_table(urn("orders")).get(), first.get());
}

TEST_F(LogicalTableBuilder, AnUnknownDatasetFailsWithTheCataloguesError) {
  EXPECT_THROW_MSG(build("missing"), platform::LookupError,
                   "Dataset not found: " + urn_text("missing"));
}

}  // namespace
}  // namespace orvane_semantic_agent::generate
