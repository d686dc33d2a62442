// The two-table model used across the semantic model tests, built from named values.
#pragma once

#include <memory>

#include "orvane_semantic_agent/semantic_model/semantic_model.hpp"

namespace orvane_semantic_agent::semantic_model::testing {

inline std::shared_ptr<LogicalTable> make_table(const std::string& name, const std::string& key) {
  return std::make_shared<LogicalTable>(LogicalTable{
      .name = name,
      .base_table = std::make_shared<BaseTable>(
          BaseTable{.database = "snowflake", .schema_name = "metadata", .table = name}),
      .primary_key = std::make_shared<PrimaryKey>(PrimaryKey{.columns = {key}}),
  });
}

inline SemanticModel worked_example() {
  auto queries = make_table("queries", "query_urn");
  queries->filters = {{std::make_shared<Filter>(
      Filter{.name = "system_queries", .expr = "source = 'SYSTEM'", .synonyms = {{"system"}}})}};
  auto relationship = std::make_shared<Relationship>(Relationship{
      .name = "queries_datasets",
      .left_table = "queries",
      .right_table = "datasets",
      .relationship_columns = {std::make_shared<RelationshipColumn>(
          RelationshipColumn{.left_column = "dataset", .right_column = "urn"})},
      .join_type = "left_outer",
      .relationship_type = "many_to_one",
  });
  return SemanticModel{.name = "semantic_model",
                       .tables = {queries, make_table("datasets", "urn")},
                       .relationships = {{relationship}}};
}

}  // namespace orvane_semantic_agent::semantic_model::testing
