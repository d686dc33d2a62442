// Joins mined from a dataset's most-run queries.
#include "orvane/sql_parsing/sql_lineage.hpp"
#include "orvane_semantic_agent/generate/generate.hpp"
#include "orvane_semantic_agent/generate/internal/answer_keys.hpp"
#include "orvane_semantic_agent/generate/module_values.hpp"
#include "platform/errors/errors.hpp"

namespace orvane_semantic_agent::generate {
namespace {

using orvane::metadata::urns::QueryUrn;
using platform::Value;
namespace models = orvane::metadata::schema_classes;

constexpr int kPageSize = 100;

Value list_queries_variables(const std::string& dataset_urn) {
  return Value::Map{
      {"input", Value::Map{
                    {"start", 0},
                    {"count", kPageSize},
                    {"source", "SYSTEM"},
                    {"sortInput",
                     Value::Map{{"sortCriterion", Value::Map{{"field", "runsPercentileLast30days"},
                                                             {"sortOrder", "DESCENDING"}}}}},
                    {"orFilters",
                     Value::List{Value::Map{
                         {"and", Value::List{Value::Map{{"field", "entities"},
                                                        {"values", Value::List{dataset_urn}}}}}}}},
                }}};
}

// Subjects that are datasets rather than columns; the same dataset listed twice counts twice.
std::size_t dataset_subject_count(const Value& entry) {
  std::size_t count = 0;
  for (const Value& subject : internal::as_list(internal::key(entry, "subjects"), "subjects")) {
    if (internal::optional_key(subject, "schemaField") != nullptr) continue;
    internal::key(internal::key(subject, "dataset"), "urn");
    ++count;
  }
  return count;
}

}  // namespace

std::vector<std::string> SemanticModelGenerator::_get_query_urns(const DatasetUrn& urn) {
  platform::check(MAX_QUERY_URNS_PER_TABLE <= kPageSize);
  const Value data = client._graph().execute_graphql(std::string(_list_queries_gql()),
                                                     list_queries_variables(urn.urn()));
  std::vector<std::string> query_urns;
  const Value& queries = internal::key(internal::key(data, "listQueries"), "queries");
  for (const Value& entry : internal::as_list(queries, "queries")) {
    const std::size_t subjects = dataset_subject_count(entry);
    if (subjects >= 2) {
      const Value& query_urn = internal::key(entry, "urn");
      if (!query_urn.is_string()) {
        throw platform::RuntimeError("Malformed catalogue answer: a query's urn is not a text");
      }
      query_urns.push_back(query_urn.as_string());
    }
    if (query_urns.size() >= static_cast<std::size_t>(MAX_QUERY_URNS_PER_TABLE)) break;
  }
  return query_urns;
}

std::optional<std::vector<SourcedJoinInfo>> SemanticModelGenerator::_infer_joins_from_sql(
    const QueryUrn& query_urn, const std::string& default_db, const std::string& default_schema) {
  const orvane::sdk::EntityAspects entity = client._graph().get_entity_semityped(query_urn.urn());
  const auto properties = entity.get<models::QueryPropertiesClass>();
  const auto platform_instance = entity.get<models::DataPlatformInstanceClass>();
  if (!properties || !platform_instance) return std::nullopt;

  orvane::sql_parsing::SqlParsingResult lineage = orvane::sql_parsing::parse_sql_lineage(
      properties->statement.value, platform_instance->platform, platform_instance->instance,
      default_db, default_schema);
  if (!lineage.joins) return std::nullopt;

  std::vector<SourcedJoinInfo> sourced;
  sourced.reserve(lineage.joins->size());
  for (orvane::sql_parsing::JoinInfo& join : *lineage.joins) {
    sourced.push_back({query_urn, properties->statement.value, std::move(join)});
  }
  return sourced;
}

std::vector<SourcedJoinInfo> SemanticModelGenerator::_infer_joins_for_urn(
    const DatasetUrn& start_urn) {
  const std::shared_ptr<LogicalTable> logical_table = build_logical_table(start_urn);
  std::vector<SourcedJoinInfo> joins;
  for (const std::string& text : _get_query_urns(start_urn)) {
    auto found =
        _infer_joins_from_sql(QueryUrn::from_string(text), logical_table->base_table->database,
                              logical_table->base_table->schema_name);
    if (found) joins.insert(joins.end(), found->begin(), found->end());
  }
  return joins;
}

}  // namespace orvane_semantic_agent::generate
