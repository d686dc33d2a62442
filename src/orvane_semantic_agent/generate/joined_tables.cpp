#include "orvane_semantic_agent/generate/joined_tables.hpp"

#include <algorithm>

namespace orvane_semantic_agent::generate {

JoinedTables::JoinedTables(std::initializer_list<DatasetUrn> urns) {
  for (const DatasetUrn& urn : urns) {
    if (!contains(urn)) members_.push_back(urn);
  }
}

bool JoinedTables::contains(const DatasetUrn& urn) const {
  return std::find(members_.begin(), members_.end(), urn) != members_.end();
}

bool operator==(const JoinedTables& a, const JoinedTables& b) {
  return a.size() == b.size() &&
         std::all_of(a.begin(), a.end(), [&b](const auto& urn) { return b.contains(urn); });
}

std::string repr(const JoinedTables& tables) {
  std::string text = "JoinedTables({";
  for (auto member = tables.begin(); member != tables.end(); ++member) {
    if (member != tables.begin()) text += ", ";
    text += orvane::metadata::urns::repr(*member);
  }
  return text + "})";
}

}  // namespace orvane_semantic_agent::generate

std::size_t std::hash<orvane_semantic_agent::generate::JoinedTables>::operator()(
    const orvane_semantic_agent::generate::JoinedTables& tables) const noexcept {
  std::size_t sum = 0;
  for (const auto& urn : tables) sum += std::hash<orvane::metadata::urns::DatasetUrn>{}(urn);
  return sum;
}
