// Every read of the catalogue client, run against the in-memory catalogue and over HTTP against
// the fake catalogue server, from the same fixture.
#include <gtest/gtest.h>

#include "orvane/sdk/graphql_error.hpp"
#include "orvane/sdk/main_client.hpp"
#include "tests/orvane/sdk/catalogue_under_test.hpp"
#include "tests/support/expect_throw.hpp"

namespace {

using orvane::metadata::urns::DatasetUrn;
using orvane::sdk::OrvaneClient;
using orvane_test::dataset_text;
using platform::Value;
namespace models = orvane::metadata::schema_classes;

class CatalogueReads : public ::testing::TestWithParam<orvane_test::CatalogueUnderTest (*)()> {
 protected:
  void SetUp() override { catalogue_ = GetParam()(); }
  OrvaneClient client() const { return OrvaneClient(catalogue_.graph); }

  orvane_test::CatalogueUnderTest catalogue_;
};

Value list_queries_variables(const std::string& dataset) {
  return Value::Map{
      {"input",
       Value::Map{
           {"start", 0},
           {"count", 100},
           {"source", "SYSTEM"},
           {"sortInput",
            Value::Map{{"sortCriterion", Value::Map{{"field", "runsPercentileLast30days"},
                                                    {"sortOrder", "DESCENDING"}}}}},
           {"orFilters", Value::List{Value::Map{
                             {"and", Value::List{Value::Map{{"field", "entities"},
                                                            {"values", Value::List{dataset}}}}}}}},
       }}};
}

constexpr char kListQueries[] =
    "query listQueries($input: ListQueriesInput!) {\n"
    "  listQueries(input: $input) { start count total queries { urn subjects {\n"
    "    dataset { urn } schemaField { urn } } } }\n"
    "}\n";

TEST_P(CatalogueReads, DatasetEntityCarriesEveryFieldTheGeneratorReads) {
  const auto dataset = client().entities().get(DatasetUrn::from_string(dataset_text("orders")));
  EXPECT_EQ(dataset.urn.name(), "sales_db.public.orders");
  EXPECT_EQ(dataset.qualified_name, "SALES_DB.PUBLIC.ORDERS");
  EXPECT_EQ(dataset.display_name, "Orders");
  EXPECT_EQ(dataset.description, "One row per order");
  ASSERT_EQ(dataset.schema.size(), 6u);

  const auto& key = dataset.schema[0];
  EXPECT_EQ(key.field_path, "ORDER_ID");
  EXPECT_EQ(key.native_type, "NUMBER(38,0)");
  EXPECT_EQ(key.description, "The order's key");
  EXPECT_TRUE(key.mapped_type.type->is<models::NumberTypeClass>());
  EXPECT_TRUE(key._base_schema_field().isPartOfKey);

  EXPECT_TRUE(dataset.schema[1].mapped_type.type->is<models::DateTypeClass>());
  EXPECT_TRUE(dataset.schema[2].mapped_type.type->is<models::TimeTypeClass>());
  EXPECT_TRUE(dataset.schema[3].mapped_type.type->is<models::EnumTypeClass>());
  EXPECT_EQ(dataset.schema[3].description, std::nullopt);
  EXPECT_TRUE(dataset.schema[4].mapped_type.type->is<models::BooleanTypeClass>());
  EXPECT_TRUE(dataset.schema[5].mapped_type.type->is<models::StringTypeClass>());
  for (std::size_t i = 1; i < dataset.schema.size(); ++i) {
    EXPECT_FALSE(dataset.schema[i]._base_schema_field().isPartOfKey) << i;
  }
}

TEST_P(CatalogueReads, UnicodeNamesArriveExactly) {
  const auto dataset =
      client().entities().get(DatasetUrn::from_string(dataset_text("kunden_übersicht")));
  EXPECT_EQ(dataset.display_name, "Kunden Übersicht – 顧客");
  EXPECT_EQ(dataset.qualified_name, "SALES_DB.PUBLIC.KUNDEN_ÜBERSICHT");
  ASSERT_EQ(dataset.schema.size(), 2u);
  EXPECT_EQ(dataset.schema[1].field_path, "STRAßE");
  EXPECT_EQ(dataset.schema[1].description, "Straße");
}

TEST_P(CatalogueReads, DatasetWithoutAspectsIsFoundButEmpty) {
  const auto dataset = client().entities().get(DatasetUrn::from_string(dataset_text("bare")));
  EXPECT_EQ(dataset.qualified_name, std::nullopt);
  EXPECT_EQ(dataset.display_name, std::nullopt);
  EXPECT_EQ(dataset.description, std::nullopt);
  EXPECT_TRUE(dataset.schema.empty());
}

TEST_P(CatalogueReads, UnknownDatasetIsNotFoundNamingTheUrn) {
  const std::string urn = dataset_text("nowhere");
  EXPECT_THROW_MSG(client().entities().get(DatasetUrn::from_string(urn)), platform::LookupError,
                   "Dataset not found: " + urn);
}

TEST_P(CatalogueReads, QueryEntityAspectsReadTypedAndAbsentOnesReadAsNone) {
  auto& graph = client()._graph();
  const auto full = graph.get_entity_semityped("urn:orvane:query:q-orders-customers");
  const auto properties = full.get<models::QueryPropertiesClass>();
  ASSERT_TRUE(properties);
  EXPECT_EQ(properties->statement.value,
            "SELECT * FROM orders o JOIN customers c ON o.customer_id = c.id");
  const auto platform = full.get<models::DataPlatformInstanceClass>();
  ASSERT_TRUE(platform);
  EXPECT_EQ(platform->platform, "urn:orvane:dataPlatform:snowflake");
  EXPECT_EQ(platform->instance, std::nullopt);

  const auto partial = graph.get_entity_semityped("urn:orvane:query:q-no-platform");
  EXPECT_TRUE(partial.get<models::QueryPropertiesClass>());
  EXPECT_FALSE(partial.get<models::DataPlatformInstanceClass>());
  EXPECT_EQ(partial.find("dataPlatformInstance"), nullptr);

  EXPECT_TRUE(graph.get_entity_semityped("urn:orvane:query:unknown").empty());
}

TEST_P(CatalogueReads, UsageAspectIsReadOrNone) {
  auto& graph = client()._graph();
  const auto usage = graph.get_aspect<models::UsageFeaturesClass>(dataset_text("orders"));
  ASSERT_TRUE(usage);
  EXPECT_EQ(usage->queryCountPercentileLast30Days, 42.5);

  const auto without_percentile =
      graph.get_aspect<models::UsageFeaturesClass>(dataset_text("kunden_übersicht"));
  ASSERT_TRUE(without_percentile);
  EXPECT_EQ(without_percentile->queryCountPercentileLast30Days, std::nullopt);

  EXPECT_FALSE(graph.get_aspect<models::UsageFeaturesClass>(dataset_text("bare")));
  EXPECT_FALSE(graph.get_aspect<models::UsageFeaturesClass>(dataset_text("nowhere")));
}

TEST_P(CatalogueReads, MalformedAspectsRaiseAClearError) {
  auto& graph = client()._graph();
  const std::string urn = dataset_text("broken");
  EXPECT_THROW_MSG(graph.get_aspect<models::UsageFeaturesClass>(urn), platform::RuntimeError,
                   "Malformed catalogue answer: aspect \"usageFeatures\" of " + urn +
                       ": field \"queryCountPercentileLast30Days\": expected a number, got str");
  EXPECT_THROW_SUBSTR(client().entities().get(DatasetUrn::from_string(urn)), platform::RuntimeError,
                      "fields[0]: Unknown schema field type \"GEOMETRY\"");
}

TEST_P(CatalogueReads, ListQueriesFiltersSortsAndPages) {
  auto& graph = client()._graph();
  const Value data =
      graph.execute_graphql(kListQueries, list_queries_variables(dataset_text("orders")));
  const Value& answer = *data.find("listQueries");
  std::vector<std::string> urns;
  for (const Value& entry : answer.find("queries")->as_list()) {
    urns.push_back(entry.find("urn")->as_string());
  }
  // SYSTEM only (q-manual dropped), most-run first, unranked last, other tables dropped.
  EXPECT_EQ(urns,
            (std::vector<std::string>{"urn:orvane:query:q-orders-customers",
                                      "urn:orvane:query:q-rare", "urn:orvane:query:q-unranked"}));
  EXPECT_EQ(answer.find("total")->as_int(), 3);

  const Value& subjects = *answer.find("queries")->as_list()[0].find("subjects");
  ASSERT_EQ(subjects.as_list().size(), 3u);
  EXPECT_TRUE(subjects.as_list()[0].find("schemaField")->is_null());
  EXPECT_EQ(subjects.as_list()[2].find("schemaField"), nullptr);

  Value paged = list_queries_variables(dataset_text("orders"));
  paged.find("input")->set("start", 1);
  paged.find("input")->set("count", 1);
  const Value page = graph.execute_graphql(kListQueries, paged);
  ASSERT_EQ(page.find("listQueries")->find("queries")->as_list().size(), 1u);
  EXPECT_EQ(page.find("listQueries")->find("queries")->as_list()[0].find("urn")->as_string(),
            "urn:orvane:query:q-rare");
}

TEST_P(CatalogueReads, GraphQLErrorsCarryTheirMessages) {
  auto& graph = client()._graph();
  try {
    graph.execute_graphql("query { nope { urn } }", Value());
    FAIL() << "no error";
  } catch (const orvane::sdk::GraphQLError& error) {
    EXPECT_EQ(error.messages(),
              std::vector<std::string>{"Cannot query field \"nope\" on type \"Query\"."});
    EXPECT_STREQ(error.what(),
                 "Catalogue GraphQL errors: Cannot query field \"nope\" on type \"Query\".");
  }
  EXPECT_THROW_MSG(
      graph.execute_graphql(kListQueries, Value::Map{}), orvane::sdk::GraphQLError,
      "Catalogue GraphQL errors: Variable \"$input\" of required type \"ListQueriesInput!\" was "
      "not provided.");
  Value bad = list_queries_variables(dataset_text("orders"));
  bad.find("input")->set("count", -1);
  EXPECT_THROW_SUBSTR(graph.execute_graphql(kListQueries, bad), orvane::sdk::GraphQLError,
                      "\"count\" must be a non-negative integer");
}

TEST_P(CatalogueReads, ASelectionTheSchemaLacksIsRefused) {
  auto& graph = client()._graph();
  const Value variables = list_queries_variables(dataset_text("orders"));
  const auto messages_of = [&graph, &variables](const std::string& query) {
    try {
      graph.execute_graphql(query, variables);
    } catch (const orvane::sdk::GraphQLError& error) {
      return error.messages();
    }
    return std::vector<std::string>{};
  };
  EXPECT_EQ(messages_of("query q($input: ListQueriesInput!) { listQueries(input: $input) {\n"
                        "  queries { urn subjects { datasets { urn } schemaField { urn } } } } }"),
            std::vector<std::string>{"Cannot query field \"datasets\" on type \"QuerySubject\"."});
  EXPECT_EQ(messages_of("query q($input: ListQueriesInput!) { listQueries(input: $input) {\n"
                        "  total { value } queries { subjects { dataset } } } }"),
            (std::vector<std::string>{
                "Field \"total\" must not have a selection since type \"Int\" has no subfields.",
                "Field \"dataset\" of type \"Dataset\" must have a selection of subfields."}));
  EXPECT_EQ(messages_of("query q($input: ListQueriesInput!) { listQueries(input: $input) {\n"
                        "  ...page } }"),
            std::vector<std::string>{"Syntax Error: fragments are not supported."});
  // Aliases, arguments, directives and __typename are no problem.
  EXPECT_TRUE(messages_of("query q($input: ListQueriesInput!) @cached { page: listQueries(input: "
                          "$input) { __typename queries @include(if: true) { id: urn } } }")
                  .empty());
}

INSTANTIATE_TEST_SUITE_P(InMemoryAndHttp, CatalogueReads,
                         ::testing::Values(&orvane_test::in_memory_catalogue,
                                           &orvane_test::http_catalogue),
                         [](const auto& info) { return info.index == 0 ? "InMemory" : "Http"; });

}  // namespace
