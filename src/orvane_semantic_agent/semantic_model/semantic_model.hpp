// The semantic model that Cortex Analyst reads: twelve typed records, their validation, their
// dump and JSON text (record.hpp), and the model's YAML form.
//
// Records are plain aggregates; nested records are shared through std::shared_ptr, so a logical
// table placed in a model is the very object its builder holds, and a primary key assigned to it
// later is seen by every holder. Building from named C++ values does not validate (the types do);
// building from a map does (`model_validate`).
//
//   auto table = std::make_shared<LogicalTable>(LogicalTable{
//       .name = "queries",
//       .base_table = std::make_shared<BaseTable>(
//           BaseTable{.database = "snowflake", .schema_name = "metadata", .table = "queries"})});
//   SemanticModel model{.name = "semantic_model", .tables = {table}};
//   table->primary_key = std::make_shared<PrimaryKey>(PrimaryKey{.columns = {"query_urn"}});
//   std::string yaml = model.to_yaml();
//
// Records hold no shared state; one record tree belongs to one thread at a time.
#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "orvane_semantic_agent/semantic_model/record.hpp"
#include "platform/value/value.hpp"

namespace orvane_semantic_agent::semantic_model {

// The physical table behind a logical table; `schema_name` is read and written as "schema".
struct BaseTable : Record<BaseTable> {
  std::string database;
  std::string schema_name;
  std::string table;

  static constexpr std::string_view kRecordName = "BaseTable";
  static constexpr auto fields() {
    return std::tuple{
        field("database", &BaseTable::database, kRequired),
        field("schema_name", &BaseTable::schema_name, kRequired, "schema"),
        field("table", &BaseTable::table, kRequired),
    };
  }
};

// The key columns of a logical table.
struct PrimaryKey : Record<PrimaryKey> {
  std::vector<std::string> columns;

  static constexpr std::string_view kRecordName = "PrimaryKey";
  static constexpr auto fields() {
    return std::tuple{field("columns", &PrimaryKey::columns, kRequired)};
  }
};

// A Cortex Search service a dimension refers to; `schema_name` is read and written as "schema".
struct CortexSearchService : Record<CortexSearchService> {
  std::string service;
  std::optional<std::string> literal_column;
  std::optional<std::string> database;
  std::optional<std::string> schema_name;

  static constexpr std::string_view kRecordName = "CortexSearchService";
  static constexpr auto fields() {
    return std::tuple{
        field("service", &CortexSearchService::service, kRequired),
        field("literal_column", &CortexSearchService::literal_column, kOptional),
        field("database", &CortexSearchService::database, kOptional),
        field("schema_name", &CortexSearchService::schema_name, kOptional, "schema"),
    };
  }
};

// The seven fields that dimensions, time dimensions and facts share, in their order.
template <typename Column>
constexpr auto column_fields() {
  return std::tuple{
      field("name", &Column::name, kRequired),
      field("expr", &Column::expr, kRequired),
      field("data_type", &Column::data_type, kRequired),
      field("synonyms", &Column::synonyms, kOptional),
      field("description", &Column::description, kOptional),
      field("unique", &Column::unique, kOptional),
      field("sample_values", &Column::sample_values, kOptional),
  };
}

struct Dimension : Record<Dimension> {
  std::string name;
  std::string expr;
  std::string data_type;
  std::optional<std::vector<std::string>> synonyms;
  std::optional<std::string> description;
  std::optional<bool> unique;
  std::optional<platform::Value::List> sample_values;
  std::shared_ptr<CortexSearchService> cortex_search_service;
  std::optional<bool> is_enum;

  static constexpr std::string_view kRecordName = "Dimension";
  static constexpr auto fields() {
    return std::tuple_cat(
        column_fields<Dimension>(),
        std::tuple{field("cortex_search_service", &Dimension::cortex_search_service, kOptional),
                   field("is_enum", &Dimension::is_enum, kOptional)});
  }
};

struct TimeDimension : Record<TimeDimension> {
  std::string name;
  std::string expr;
  std::string data_type;
  std::optional<std::vector<std::string>> synonyms;
  std::optional<std::string> description;
  std::optional<bool> unique;
  std::optional<platform::Value::List> sample_values;

  static constexpr std::string_view kRecordName = "TimeDimension";
  static constexpr auto fields() { return column_fields<TimeDimension>(); }
};

struct Fact : Record<Fact> {
  std::string name;
  std::string expr;
  std::string data_type;
  std::optional<std::vector<std::string>> synonyms;
  std::optional<std::string> description;
  std::optional<bool> unique;
  std::optional<platform::Value::List> sample_values;

  static constexpr std::string_view kRecordName = "Fact";
  static constexpr auto fields() { return column_fields<Fact>(); }
};

struct Filter : Record<Filter> {
  std::string name;
  std::string expr;
  std::optional<std::vector<std::string>> synonyms;
  std::optional<std::string> description;

  static constexpr std::string_view kRecordName = "Filter";
  static constexpr auto fields() {
    return std::tuple{
        field("name", &Filter::name, kRequired),
        field("expr", &Filter::expr, kRequired),
        field("synonyms", &Filter::synonyms, kOptional),
        field("description", &Filter::description, kOptional),
    };
  }
};

// Unlike facts, a metric has no `unique`.
struct Metric : Record<Metric> {
  std::string name;
  std::string expr;
  std::string data_type;
  std::optional<std::vector<std::string>> synonyms;
  std::optional<std::string> description;
  std::optional<platform::Value::List> sample_values;

  static constexpr std::string_view kRecordName = "Metric";
  static constexpr auto fields() {
    return std::tuple{
        field("name", &Metric::name, kRequired),
        field("expr", &Metric::expr, kRequired),
        field("data_type", &Metric::data_type, kRequired),
        field("synonyms", &Metric::synonyms, kOptional),
        field("description", &Metric::description, kOptional),
        field("sample_values", &Metric::sample_values, kOptional),
    };
  }
};

// One pair of joined columns.
struct RelationshipColumn : Record<RelationshipColumn> {
  std::string left_column;
  std::string right_column;

  static constexpr std::string_view kRecordName = "RelationshipColumn";
  static constexpr auto fields() {
    return std::tuple{
        field("left_column", &RelationshipColumn::left_column, kRequired),
        field("right_column", &RelationshipColumn::right_column, kRequired),
    };
  }
};

inline constexpr std::array<std::string_view, 2> kJoinTypes = {"left_outer", "inner"};
inline constexpr std::array<std::string_view, 2> kRelationshipTypes = {"many_to_one", "one_to_one"};

// A join between two logical tables. The tables and columns it names are not checked here.
struct Relationship : Record<Relationship> {
  std::string name;
  std::string left_table;
  std::string right_table;
  std::vector<std::shared_ptr<RelationshipColumn>> relationship_columns;
  std::string join_type;          // "left_outer" or "inner"
  std::string relationship_type;  // "many_to_one" or "one_to_one"

  static constexpr std::string_view kRecordName = "Relationship";
  static constexpr auto fields() {
    return std::tuple{
        field("name", &Relationship::name, kRequired),
        field("left_table", &Relationship::left_table, kRequired),
        field("right_table", &Relationship::right_table, kRequired),
        field("relationship_columns", &Relationship::relationship_columns, kRequired),
        field("join_type", &Relationship::join_type, kRequired, {}, kJoinTypes),
        field("relationship_type", &Relationship::relationship_type, kRequired, {},
              kRelationshipTypes),
    };
  }
};

struct LogicalTable : Record<LogicalTable> {
  std::string name;
  std::optional<std::string> description;
  std::shared_ptr<BaseTable> base_table;
  std::shared_ptr<PrimaryKey> primary_key;
  std::optional<std::vector<std::shared_ptr<Dimension>>> dimensions;
  std::optional<std::vector<std::shared_ptr<TimeDimension>>> time_dimensions;
  std::optional<std::vector<std::shared_ptr<Fact>>> facts;
  std::optional<std::vector<std::shared_ptr<Metric>>> metrics;
  std::optional<std::vector<std::shared_ptr<Filter>>> filters;

  static constexpr std::string_view kRecordName = "LogicalTable";
  static constexpr auto fields() {
    return std::tuple{
        field("name", &LogicalTable::name, kRequired),
        field("description", &LogicalTable::description, kOptional),
        field("base_table", &LogicalTable::base_table, kRequired),
        field("primary_key", &LogicalTable::primary_key, kOptional),
        field("dimensions", &LogicalTable::dimensions, kOptional),
        field("time_dimensions", &LogicalTable::time_dimensions, kOptional),
        field("facts", &LogicalTable::facts, kOptional),
        field("metrics", &LogicalTable::metrics, kOptional),
        field("filters", &LogicalTable::filters, kOptional),
    };
  }
};

// The root of a semantic model.
struct SemanticModel : Record<SemanticModel> {
  std::string name;
  std::optional<std::string> description;
  std::vector<std::shared_ptr<LogicalTable>> tables;
  std::optional<std::vector<std::shared_ptr<Relationship>>> relationships;

  static constexpr std::string_view kRecordName = "SemanticModel";
  static constexpr auto fields() {
    return std::tuple{
        field("name", &SemanticModel::name, kRequired),
        field("description", &SemanticModel::description, kOptional),
        field("tables", &SemanticModel::tables, kRequired),
        field("relationships", &SemanticModel::relationships, kOptional),
    };
  }

  // The YAML text of the model: its dump without null fields, as platform::yaml::dump writes it.
  // Never throws for a model built by the record rules.
  std::string to_yaml() const;

  // A new model read from YAML text that shares nothing with any other model. Throws
  // platform::YAMLError for text that is not one valid YAML document, and
  // platform::ValidationError when the document is not a map (an empty text included) or breaks
  // the record rules.
  static std::shared_ptr<SemanticModel> from_yaml(std::string_view yaml_text);
};

}  // namespace orvane_semantic_agent::semantic_model
