// The semantic model generator: from a few start datasets of the catalogue to a validated
// semantic model of them and of the tables joined to them.
//
//   orvane_semantic_agent::generate::load_module();   // once, at process start-up
//   SemanticModelGenerator generator(client, SemanticModelGenerator::kDefaultMaxTables,
//                                    start_urns);
//   std::shared_ptr<semantic_model::SemanticModel> model = generator.build();
//
// `build` registers tables one at a time, always the queued table with the best score (the
// number of mined joins touching it plus its query popularity; start tables enter with 100),
// builds each one's logical table, has the LLM infer a missing primary key, mines the table's
// query history for joins and queues the tables they reach; it stops at `max_tables` or when the
// queue is empty. Then it asks the LLM for one relationship per join group whose tables are all
// registered, drops the relationships whose columns are not the tables' keys, and returns the
// model. The whole build is one span "build"; each LLM call is a span of type LLM beneath it.
//
// Failures are not caught: the catalogue's (orvane/sdk), the LLM's (platform/llm), a URN that
// does not parse (platform::ValueError), platform::ValueError "Relationship <i> references table
// that is not in the semantic model: <name>" for a relationship naming a table that is not in
// the model, platform::AssertionError (no message) for a dataset without a qualified name,
// platform::IndexError "list index out of range" for a qualified name of fewer than three parts,
// and platform::KeyError naming a key missing from the catalogue's query-history answer.
//
// One generator serves one build, from one thread; what it remembers (logical tables and
// popularities) goes with it.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "orvane/metadata/urns.hpp"
#include "orvane/sdk/main_client.hpp"
#include "orvane_semantic_agent/generate/internal/insertion_ordered_map.hpp"
#include "orvane_semantic_agent/generate/internal/module_state.hpp"
#include "orvane_semantic_agent/generate/joined_tables.hpp"
#include "orvane_semantic_agent/semantic_model/semantic_model.hpp"

namespace orvane_semantic_agent::generate {

// The module's start-up work: selects the tracking experiment "semantic_model_generation" (the
// store named by MLFLOW_TRACKING_URI, read now), wraps the chat completion for tracing, and
// checks the embedded query text and the token encoding. Runs once per process, before the
// `.env` file is loaded; later calls do nothing, and a failure throws and leaves it to be run
// again. A generator made before it ran runs it first.
void load_module();

class SemanticModelGenerator {
 public:
  using DatasetUrn = orvane::metadata::urns::DatasetUrn;
  using LogicalTable = semantic_model::LogicalTable;
  using Relationship = semantic_model::Relationship;

  static constexpr int kDefaultMaxTables = 30;

  // Queues the start URNs in their order, each with popularity 100 and no catalogue call.
  SemanticModelGenerator(
      orvane::sdk::OrvaneClient client, int max_tables = kDefaultMaxTables,
      std::optional<std::vector<orvane::metadata::urns::DatasetUrn>> start_urns = std::nullopt);

  // The dataset's logical table from its catalogue entity. Remembered per URN: later calls give
  // the very same record, without a catalogue call.
  std::shared_ptr<LogicalTable> build_logical_table(const DatasetUrn& urn);

  // Queues a table unless it is registered or queued already; a table reached through a join
  // (`_is_internal`) enters with its catalogue popularity, any other with 100.
  void request_table(const DatasetUrn& start_urn, bool _is_internal = false);

  std::shared_ptr<semantic_model::SemanticModel> build();

  // The registered tables, in registration order (the shared records).
  std::vector<std::shared_ptr<LogicalTable>> get_tables() const;
  // One LLM-inferred relationship per join group whose tables are all registered.
  std::vector<std::shared_ptr<Relationship>> get_relationships();
  // The model of the registered tables and the relationships that pass the key checks.
  std::shared_ptr<semantic_model::SemanticModel> get_semantic_model();

  const orvane::sdk::OrvaneClient client;
  const int max_tables;

 private:
  friend struct GeneratorProbe;  // tests reach the steps one by one

  std::vector<std::string> _get_query_urns(const DatasetUrn& urn);
  std::optional<std::vector<SourcedJoinInfo>> _infer_joins_from_sql(
      const orvane::metadata::urns::QueryUrn& query_urn, const std::string& default_db,
      const std::string& default_schema);
  std::shared_ptr<Relationship> _infer_relationship_from_joins(
      const std::vector<SourcedJoinInfo>& joins);
  std::vector<SourcedJoinInfo> _infer_joins_for_urn(const DatasetUrn& start_urn);
  double _get_popularity(const DatasetUrn& urn);
  bool _has_next_candidate() const;
  DatasetUrn _pop_next_candidate();
  void _ensure_primary_keys(LogicalTable& logical_table);

  // Records the joins of a table just registered and queues the tables they reach.
  void file_joins(const std::vector<SourcedJoinInfo>& sourced_joins);

  std::shared_ptr<const internal::ModuleTracing> module_;
  internal::InsertionOrderedMap<DatasetUrn, std::shared_ptr<LogicalTable>> _registered_tables;
  internal::InsertionOrderedMap<JoinedTables, std::vector<SourcedJoinInfo>> _joins;
  internal::InsertionOrderedMap<DatasetUrn, double> _candidate_tables;  // URN -> popularity
  std::unordered_map<DatasetUrn, std::shared_ptr<LogicalTable>> logical_table_memo_;
  std::unordered_map<DatasetUrn, double> popularity_memo_;
};

}  // namespace orvane_semantic_agent::generate
