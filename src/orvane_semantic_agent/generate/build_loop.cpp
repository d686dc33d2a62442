// The build loop: tables registered one at a time, best score first.
#include "orvane_semantic_agent/generate/generate.hpp"
#include "platform/errors/errors.hpp"
#include "platform/log/log.hpp"
#include "platform/tracing/tracer.hpp"

namespace orvane_semantic_agent::generate {

std::shared_ptr<semantic_model::SemanticModel> SemanticModelGenerator::build() {
  platform::tracing::Span span(*module_->tracer, "build", platform::tracing::span_type::kUnknown);
  while (static_cast<int>(_registered_tables.size()) < max_tables && _has_next_candidate()) {
    const DatasetUrn urn = _pop_next_candidate();
    platform::log::info("Registering logical table for {}", urn);
    platform::check(!_registered_tables.contains(urn));
    std::shared_ptr<LogicalTable> logical_table = build_logical_table(urn);
    _registered_tables[urn] = logical_table;
    _ensure_primary_keys(*logical_table);
    file_joins(_infer_joins_for_urn(urn));
  }
  if (static_cast<int>(_registered_tables.size()) < max_tables) {
    platform::log::debug("No more tables to add, stopping");
  } else {
    platform::log::debug("Hit max tables, stopping");
  }
  std::shared_ptr<semantic_model::SemanticModel> model = get_semantic_model();
  span.set_outputs(model->model_dump());
  return model;
}

void SemanticModelGenerator::file_joins(const std::vector<SourcedJoinInfo>& sourced_joins) {
  for (const SourcedJoinInfo& sourced_join : sourced_joins) {
    const orvane::sql_parsing::JoinInfo& join = sourced_join.join;
    if (join.left_tables.size() != 1 || join.right_tables.size() != 1) continue;
    const JoinedTables joined_tables{DatasetUrn::from_string(join.left_tables[0]),
                                     DatasetUrn::from_string(join.right_tables[0])};
    _joins[joined_tables].push_back(sourced_join);
    for (const DatasetUrn& table : joined_tables) request_table(table, /*_is_internal=*/true);
  }
}

}  // namespace orvane_semantic_agent::generate
