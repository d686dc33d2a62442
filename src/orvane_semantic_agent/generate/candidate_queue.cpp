// The generator's state and its candidate queue.
#include <algorithm>
#include <string_view>
#include <unordered_map>

#include "orvane_semantic_agent/generate/generate.hpp"
#include "platform/errors/errors.hpp"
#include "platform/log/log.hpp"

namespace orvane_semantic_agent::generate {
namespace {

constexpr double kStartPopularity = 100;

}  // namespace

SemanticModelGenerator::SemanticModelGenerator(orvane::sdk::OrvaneClient client, int max_tables,
                                               std::optional<std::vector<DatasetUrn>> start_urns)
    : client(std::move(client)), max_tables(max_tables), module_(internal::module_tracing()) {
  if (!start_urns) return;
  for (const DatasetUrn& urn : *start_urns) request_table(urn);
}

void SemanticModelGenerator::request_table(const DatasetUrn& start_urn, bool _is_internal) {
  if (_registered_tables.contains(start_urn)) return;
  if (_candidate_tables.contains(start_urn)) {
    platform::log::debug("{} already in queue, skipping", start_urn);
    return;
  }
  platform::log::debug("Adding {} to queue", start_urn);
  const double popularity = _is_internal ? _get_popularity(start_urn) : kStartPopularity;
  _candidate_tables[start_urn] = popularity;
}

double SemanticModelGenerator::_get_popularity(const DatasetUrn& urn) {
  if (const auto found = popularity_memo_.find(urn); found != popularity_memo_.end()) {
    return found->second;
  }
  namespace models = orvane::metadata::schema_classes;
  const auto usage = client._graph().get_aspect<models::UsageFeaturesClass>(urn.urn());
  const double popularity = usage && usage->queryCountPercentileLast30Days
                                ? std::min(100.0, *usage->queryCountPercentileLast30Days)
                                : 0.0;
  popularity_memo_.emplace(urn, popularity);
  return popularity;
}

bool SemanticModelGenerator::_has_next_candidate() const { return !_candidate_tables.empty(); }

SemanticModelGenerator::DatasetUrn SemanticModelGenerator::_pop_next_candidate() {
  platform::check(!_candidate_tables.empty());
  // Keyed by the URN texts the join groups hold, so counting copies no URN.
  std::unordered_map<std::string_view, std::size_t> centrality_scores;
  for (const auto& [joined_tables, joins] : _joins) {
    for (const DatasetUrn& urn : joined_tables) centrality_scores[urn.urn()] += joins.size();
  }
  const DatasetUrn* next_urn = nullptr;
  double best_score = 0;
  for (const auto& [urn, popularity] : _candidate_tables) {
    const auto centrality = centrality_scores.find(urn.urn());
    const double score =
        (centrality == centrality_scores.end() ? 0.0 : static_cast<double>(centrality->second)) +
        popularity;
    // Strictly greater: on equal scores the table queued first wins.
    if (next_urn == nullptr || score > best_score) {
      next_urn = &urn;
      best_score = score;
    }
  }
  DatasetUrn chosen = *next_urn;
  _candidate_tables.erase(chosen);
  return chosen;
}

}  // namespace orvane_semantic_agent::generate
