// The finished model: relationships per fully registered join group, checked against the keys.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/orvane_semantic_agent/generate/generator_test_support.hpp"
#include "tests/support/expect_throw.hpp"

namespace orvane_semantic_agent::generate {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

// Registered tables "orders" (key ID, LINE), "customers" (key ID) and "notes" (no key, and
// the LLM names none), and one join group of orders with customers.
class ModelAssembly : public ::testing::Test {
 protected:
  ModelAssembly() {
    catalogue.dataset("orders", {key("ID"), key("LINE"), column("CUSTOMER_ID")});
    catalogue.dataset("customers", {key("ID"), column("NAME")});
    catalogue.dataset("notes", {column("TEXT")});
    for (const char* table : {"orders", "customers", "notes"}) {
      GeneratorProbe::register_table(generator, urn(table));
    }
  }

  void join(const std::string& left, const std::string& right) {
    GeneratorProbe::file_joins(
        generator, {sourced_join("q", "SELECT 1", {urn_text(left)}, {urn_text(right)})});
  }

  void answer(Value relationship) {
    harness.llm.on_relationship = [relationship](const std::string&) { return relationship; };
  }

  std::string warning() const {
    std::string found;
    for (const std::string& line : harness.logs.lines()) {
      if (line.starts_with("warning ")) found = line;
    }
    return found;
  }

  GeneratorHarness harness;
  CatalogueFixture catalogue;
  SemanticModelGenerator generator{catalogue.client()};
};

TEST_F(ModelAssembly, NoJoinGroupsMakeNoLlmCallAndAnEmptyRelationshipList) {
  const auto model = generator.get_semantic_model();
  EXPECT_EQ(model->name, "semantic_model");
  EXPECT_EQ(model->description, "TODO");
  ASSERT_EQ(model->tables.size(), 3u);
  EXPECT_EQ(model->tables[0].get(), generator.build_logical_table(urn("orders")).get());
  ASSERT_TRUE(model->relationships.has_value());
  EXPECT_THAT(*model->relationships, IsEmpty());
  EXPECT_TRUE(harness.llm.requests().empty());
  EXPECT_EQ(warning(), "warning Bad relationships: []");
}

TEST_F(ModelAssembly, AGroupWithAnUnregisteredTableIsSkippedWithoutLlmCall) {
  catalogue.dataset("regions", {key("ID")});
  join("orders", "regions");
  generator.get_semantic_model();
  EXPECT_TRUE(harness.llm.requests().empty());
  EXPECT_THAT(harness.logs.lines(),
              Contains("debug Skipping relationship between " + group_text("orders", "regions") +
                       " because not all tables are registered"));
}

TEST_F(ModelAssembly, AManyToOneJoinOfAForeignKeyToTheRightKeyIsKept) {
  join("orders", "customers");
  answer(relationship_answer("orders", "customers", {{"CUSTOMER_ID", "ID"}}, "many_to_one"));
  const auto model = generator.get_semantic_model();
  ASSERT_EQ(model->relationships->size(), 1u);
  EXPECT_EQ(model->relationships->at(0)->name, "orders -> customers: joined");
  EXPECT_EQ(warning(), "warning Bad relationships: []");
}

TEST_F(ModelAssembly, AManyToOneJoinToColumnsOutsideTheRightKeyIsDroppedOncePerPair) {
  join("orders", "customers");
  answer(relationship_answer("orders", "customers", {{"CUSTOMER_ID", "NAME"}, {"ID", "CITY"}}));
  const auto model = generator.get_semantic_model();
  EXPECT_THAT(*model->relationships, IsEmpty());
  EXPECT_EQ(warning(),
            "warning Bad relationships: [(0, 'Relationship orders -> customers: joined right table "
            "references column NAME that is not in the primary key'), (0, 'Relationship orders -> "
            "customers: joined right table references column CITY that is not in the primary "
            "key')]");
}

TEST_F(ModelAssembly, AOneToOneJoinChecksTheLeftColumnsFirstAndStopsThere) {
  join("orders", "customers");
  answer(relationship_answer("orders", "customers", {{"CUSTOMER_ID", "NAME"}, {"X", "Y"}},
                             "one_to_one", "it's one"));
  const auto model = generator.get_semantic_model();
  EXPECT_THAT(*model->relationships, IsEmpty());
  EXPECT_EQ(warning(),
            "warning Bad relationships: [(0, \"Relationship orders -> customers: it's one left "
            "table references column CUSTOMER_ID that is not in the primary key\")]");
}

TEST_F(ModelAssembly, AOneToOneJoinOfKeyToKeyIsKept) {
  join("orders", "customers");
  answer(relationship_answer("orders", "customers", {{"ID", "ID"}}, "one_to_one"));
  EXPECT_EQ(generator.get_semantic_model()->relationships->size(), 1u);
}

TEST_F(ModelAssembly, ATableWithoutKeyDropsItsRelationshipsWithOneEntry) {
  join("notes", "customers");
  join("customers", "notes");
  int asked = 0;
  harness.llm.on_relationship = [&asked](const std::string&) {
    return ++asked == 1 ? relationship_answer("notes", "customers", {{"TEXT", "NOPE"}})
                        : relationship_answer("customers", "notes", {{"ID", "TEXT"}});
  };
  const auto model = generator.get_semantic_model();
  EXPECT_THAT(*model->relationships, IsEmpty());
  // One group (a set), both joins in it, so one LLM call.
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(warning(),
            "warning Bad relationships: [(0, 'Relationship notes -> customers: joined left table "
            "notes has no primary key')]");
}

TEST_F(ModelAssembly, ARightTableWithoutKeyIsOneEntry) {
  join("customers", "notes");
  answer(relationship_answer("customers", "notes", {{"ID", "TEXT"}}));
  generator.get_semantic_model();
  EXPECT_EQ(warning(),
            "warning Bad relationships: [(0, 'Relationship customers -> notes: joined right table "
            "notes has no primary key')]");
}

TEST_F(ModelAssembly, NoColumnPairsBetweenKeyedTablesPass) {
  join("orders", "customers");
  answer(relationship_answer("orders", "customers", {}));
  EXPECT_EQ(generator.get_semantic_model()->relationships->size(), 1u);
}

TEST_F(ModelAssembly, ATableNameTheModelLacksFailsTheWholeModel) {
  join("orders", "customers");
  join("orders", "notes");
  int asked = 0;
  harness.llm.on_relationship = [&asked](const std::string&) {
    return ++asked == 1 ? relationship_answer("orders", "customers", {{"CUSTOMER_ID", "ID"}})
                        : relationship_answer("orders", "invented", {{"ID", "ID"}});
  };
  EXPECT_THROW_MSG(generator.get_semantic_model(), platform::ValueError,
                   "Relationship 1 references table that is not in the semantic model: orders -> "
                   "invented: joined");
  EXPECT_EQ(warning(), "");
}

TEST_F(ModelAssembly, TablesSharingANameAreBothKeptAndTheLaterOneIsChecked) {
  catalogue.entity(
      urn_text("orders_copy"),
      {{"datasetProperties", Value::Map{{"name", "orders"}, {"qualifiedName", "a.b.c"}}},
       {"schemaMetadata", Value::Map{{"fields", Value::List{}}}}});
  harness.llm.on_primary_key = [](const std::string&) { return Value::List{"OTHER"}; };
  GeneratorProbe::register_table(generator, urn("orders_copy"));
  GeneratorProbe::ensure_primary_keys(generator,
                                      *generator.build_logical_table(urn("orders_copy")));
  join("orders", "customers");
  answer(relationship_answer("orders", "customers", {{"ID", "ID"}}, "one_to_one"));
  const auto model = generator.get_semantic_model();
  EXPECT_EQ(model->tables.size(), 4u);
  EXPECT_THAT(*model->relationships, IsEmpty());  // checked against OTHER, not ID
}

}  // namespace
}  // namespace orvane_semantic_agent::generate
