#include "orvane/sql_parsing/internal/from_sources.hpp"

#include <algorithm>

namespace orvane::sql_parsing::internal {
namespace {

constexpr std::size_t kLinearSources = 8;

// The name a qualifier of `source` ends with; empty when nothing can name it.
std::string_view last_name(const FromItem& source) {
  if (!source.alias.empty()) return source.alias;
  if ((source.kind == FromKind::kTable || source.kind == FromKind::kFunction) &&
      !source.name.empty()) {
    return source.name.back();
  }
  return {};  // an unaliased subquery, VALUES or stage
}

bool names_source(const FromItem& item, const NameParts& qualifier) {
  if (!item.alias.empty()) return qualifier.size() == 1 && qualifier[0] == item.alias;
  if (qualifier.size() > item.name.size()) return false;
  // An unaliased table is named by its last parts: t, s.t or db.s.t.
  return std::equal(qualifier.rbegin(), qualifier.rend(), item.name.rbegin());
}

}  // namespace

void collect_sources(const FromItem& item, std::vector<const FromItem*>& sources) {
  if (item.kind != FromKind::kGroup) {
    sources.push_back(&item);
    return;
  }
  collect_sources(*item.group.first, sources);
  for (const JoinStep& step : item.group.joins) collect_sources(*step.right, sources);
}

SourceIndex::SourceIndex(const TreeVector<FromTerm>& from) {
  for (const FromTerm& term : from) {
    add(*term.first);
    for (const JoinStep& step : term.joins) add(*step.right);
  }
}

void SourceIndex::add(const FromItem& item) {
  if (item.kind != FromKind::kGroup) return add_source(&item);
  add(*item.group.first);
  for (const JoinStep& step : item.group.joins) add(*step.right);
}

void SourceIndex::add(const SourceIndex& other) {
  for (const FromItem* source : other.sources_) add_source(source);
}

void SourceIndex::clear() {
  sources_.clear();
  by_name_.clear();
}

void SourceIndex::add_source(const FromItem* source) {
  if (sources_.empty()) sources_.reserve(kLinearSources);
  sources_.push_back(source);
  if (sources_.size() == kLinearSources + 1) {
    for (const FromItem* earlier : sources_) index(earlier);
  } else if (sources_.size() > kLinearSources) {
    index(source);
  }
}

void SourceIndex::index(const FromItem* source) {
  std::string_view name = last_name(*source);
  if (!name.empty()) by_name_[name].push_back(source);
}

const FromItem* SourceIndex::find(const NameParts& qualifier) const {
  if (qualifier.empty()) return nullptr;
  if (sources_.size() <= kLinearSources) {
    for (auto it = sources_.rbegin(); it != sources_.rend(); ++it) {
      if (names_source(**it, qualifier)) return *it;
    }
    return nullptr;
  }
  auto it = by_name_.find(qualifier.back());
  if (it == by_name_.end()) return nullptr;
  for (auto candidate = it->second.rbegin(); candidate != it->second.rend(); ++candidate) {
    if (names_source(**candidate, qualifier)) return *candidate;
  }
  return nullptr;
}

}  // namespace orvane::sql_parsing::internal
