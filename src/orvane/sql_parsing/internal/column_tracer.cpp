#include "orvane/sql_parsing/internal/column_tracer.hpp"

#include <algorithm>
#include <functional>
#include <optional>
#include <unordered_set>

namespace orvane::sql_parsing::internal {
namespace {

// Tracing deeper than this (a chain of hundreds of CTEs) gives up on the column.
constexpr int kMaxTraceDepth = 512;

const Trace kUntraceable{false, {}};
const Trace kNoTable{true, {}};

std::optional<std::size_t> index_of(const NameParts& names, const std::string& name) {
  auto it = std::find(names.begin(), names.end(), name);
  if (it == names.end()) return std::nullopt;
  return static_cast<std::size_t>(it - names.begin());
}

constexpr std::size_t kShortList = 16;

struct TracedColumnHash {
  std::size_t operator()(const TracedColumn* column) const {
    return std::hash<std::string>()(column->column) * 31 + column->table;
  }
};
struct TracedColumnEqual {
  bool operator()(const TracedColumn* a, const TracedColumn* b) const { return *a == *b; }
};

// The position of `column` in the select list that names a query's columns, if it has one
// before any `*`.
std::optional<std::size_t> position_in(const QueryBranch& branch, const std::string& column) {
  if (branch.query) return position_in(branch.query->branches.front(), column);
  const TreeVector<SelectItem>& items = branch.core->items;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (items[i].star) return std::nullopt;
    if (items[i].name == column) return i;
  }
  return std::nullopt;
}

class DepthCount {
 public:
  explicit DepthCount(int& depth) : depth_(depth) { ++depth_; }
  ~DepthCount() { --depth_; }
  DepthCount(const DepthCount&) = delete;
  DepthCount& operator=(const DepthCount&) = delete;
  bool too_deep() const { return depth_ > kMaxTraceDepth; }

 private:
  int& depth_;
};

}  // namespace

void remove_repeats(std::vector<TracedColumn>& columns) {
  if (columns.size() <= kShortList) {  // in place: most lists hold a column or two
    auto kept = columns.begin();
    for (auto it = columns.begin(); it != columns.end(); ++it) {
      if (std::find(columns.begin(), kept, *it) != kept) continue;
      if (kept != it) *kept = std::move(*it);
      ++kept;
    }
    columns.erase(kept, columns.end());
    return;
  }
  std::vector<TracedColumn> kept;
  kept.reserve(columns.size());
  std::unordered_set<const TracedColumn*, TracedColumnHash, TracedColumnEqual> seen;
  for (const TracedColumn& column : columns) {
    if (seen.insert(&column).second) kept.push_back(column);
  }
  columns = std::move(kept);
}

bool ColumnTracer::trace_into(const FromItem& source, const std::string& column,
                              std::vector<TracedColumn>& columns) {
  if (source.kind == FromKind::kTable && !source.cte) {  // the common case, without a copy
    columns.push_back(TracedColumn{source.table_id, column});
    return true;
  }
  Trace traced = trace(source, column);
  columns.insert(columns.end(), traced.columns.begin(), traced.columns.end());
  return traced.determined;
}

Trace ColumnTracer::trace(const FromItem& source, const std::string& column) {
  DepthCount depth(depth_);
  if (depth.too_deep()) return kUntraceable;
  switch (source.kind) {
    case FromKind::kTable:
      if (!source.cte) return Trace{true, {TracedColumn{source.table_id, column}}};
      if (source.pivoted) return kUntraceable;
      if (!source.column_aliases.empty()) {
        auto position = index_of(source.column_aliases, column);
        return position ? trace_query_at(*source.cte->query, *position) : kUntraceable;
      }
      return trace_cte(*source.cte, column);
    case FromKind::kSubquery: {
      if (source.pivoted) return kUntraceable;
      if (source.column_aliases.empty()) return trace_query(*source.query, column);
      auto position = index_of(source.column_aliases, column);
      return position ? trace_query_at(*source.query, *position) : kUntraceable;
    }
    case FromKind::kFunction:
    case FromKind::kValues:
    case FromKind::kStage:
      return kNoTable;
    case FromKind::kGroup:
      break;
  }
  return kUntraceable;
}

Trace ColumnTracer::trace_cte(const Cte& cte, const std::string& column) {
  if (cte.columns.empty()) return trace_query(*cte.query, column);
  auto position = index_of(cte.columns, column);
  return position ? trace_query_at(*cte.query, *position) : kUntraceable;
}

Trace ColumnTracer::trace_query(const Query& query, const std::string& column) {
  auto key = std::make_pair(&query, column);
  if (auto it = by_name_.find(key); it != by_name_.end()) return it->second;
  by_name_[key] = kNoTable;  // a recursive reference to itself adds nothing
  Trace result = kUntraceable;
  const QueryBranch& first = query.branches.front();
  if (query.branches.size() == 1) {
    result = first.core ? trace_core(*first.core, column) : trace_query(*first.query, column);
  } else if (auto position = position_in(first, column)) {
    result = trace_query_at(query, *position);
  }
  by_name_[key] = result;
  return result;
}

Trace ColumnTracer::trace_query_at(const Query& query, std::size_t position) {
  auto key = std::make_pair(&query, position);
  if (auto it = by_position_.find(key); it != by_position_.end()) return it->second;
  by_position_[key] = kNoTable;
  Trace result = kNoTable;
  for (const QueryBranch& branch : query.branches) {
    Trace part = kUntraceable;
    if (branch.query) {
      part = trace_query_at(*branch.query, position);
    } else {
      const TreeVector<SelectItem>& items = branch.core->items;
      bool star_before =
          std::any_of(items.begin(), items.begin() + std::min(position + 1, items.size()),
                      [](const SelectItem& item) { return item.star; });
      if (position < items.size() && !star_before) part = trace_item(*branch.core, items[position]);
    }
    if (!part.determined) {
      result = kUntraceable;
      break;
    }
    result.columns.insert(result.columns.end(), part.columns.begin(), part.columns.end());
  }
  remove_repeats(result.columns);
  by_position_[key] = result;
  return result;
}

Trace ColumnTracer::trace_core(const SelectCore& core, const std::string& column) {
  const SelectItem* star = nullptr;
  int stars = 0;
  for (const SelectItem& item : core.items) {
    if (!item.star && item.name == column) return trace_item(core, item);
    if (item.star) {
      star = &item;
      ++stars;
    }
  }
  if (stars != 1) return kUntraceable;
  const SourceIndex& sources = sources_of(core);
  if (!star->star_qualifier.empty()) {
    const FromItem* source = sources.find(star->star_qualifier);
    return source ? trace(*source, column) : kUntraceable;
  }
  const std::vector<const FromItem*>& all = sources.sources();
  return all.size() == 1 ? trace(*all.front(), column) : kUntraceable;
}

Trace ColumnTracer::trace_item(const SelectCore& core, const SelectItem& item) {
  if (item.star || item.columns.empty()) return kUntraceable;
  Trace result = kNoTable;
  for (const ColumnRef& ref : item.columns) {
    Trace part = trace_ref(core, ref);
    if (!part.determined) return kUntraceable;
    result.columns.insert(result.columns.end(), part.columns.begin(), part.columns.end());
  }
  remove_repeats(result.columns);
  return result;
}

Trace ColumnTracer::trace_ref(const SelectCore& core, const ColumnRef& ref) {
  const SourceIndex& sources = sources_of(core);
  if (ref.qualifier.empty()) {
    const std::vector<const FromItem*>& all = sources.sources();
    return all.size() == 1 ? trace(*all.front(), ref.column) : kUntraceable;
  }
  const FromItem* source = sources.find(ref.qualifier);
  return source ? trace(*source, ref.column) : kUntraceable;
}

const SourceIndex& ColumnTracer::sources_of(const SelectCore& core) {
  auto it = sources_.find(&core);
  if (it == sources_.end()) it = sources_.emplace(&core, SourceIndex(core.from)).first;
  return it->second;
}

std::span<const std::uint32_t> ColumnTracer::tables(const FromItem& source) {
  DepthCount depth(depth_);
  if (depth.too_deep()) return {};
  switch (source.kind) {
    case FromKind::kTable:
      if (source.cte) return cte_tables(*source.cte);
      return {&source.table_id, 1};
    case FromKind::kSubquery:
      return query_tables(*source.query);
    case FromKind::kGroup: {
      if (auto it = group_tables_.find(&source); it != group_tables_.end()) return it->second;
      std::vector<const FromItem*> inner;
      collect_sources(source, inner);
      std::vector<std::span<const std::uint32_t>> parts;
      for (const FromItem* item : inner) parts.push_back(tables(*item));
      return group_tables_[&source] = merge(parts);
    }
    case FromKind::kFunction:
    case FromKind::kValues:
    case FromKind::kStage:
      break;
  }
  return {};
}

std::vector<std::string> ColumnTracer::unique_names(const std::vector<std::uint32_t>& ids) {
  merged_in_.resize(names_.size(), 0);
  ++merge_count_;
  std::vector<std::string> names;
  names.reserve(ids.size());
  for (std::uint32_t id : ids) {
    if (merged_in_[id] == merge_count_) continue;
    merged_in_[id] = merge_count_;
    names.emplace_back(table_name(id));
  }
  return names;
}

const std::vector<std::uint32_t>& ColumnTracer::cte_tables(const Cte& cte) {
  if (auto it = tables_.find(cte.query); it != tables_.end()) return it->second;
  while (cte_order_ && next_cte_ < cte_order_->size()) {
    const Cte* earlier = (*cte_order_)[next_cte_++];
    query_tables(*earlier->query);
    if (earlier == &cte) break;
  }
  return query_tables(*cte.query);
}

const std::vector<std::uint32_t>& ColumnTracer::query_tables(const Query& query) {
  if (auto it = tables_.find(&query); it != tables_.end()) return it->second;
  tables_[&query];  // a recursive reference to itself adds nothing
  std::vector<std::span<const std::uint32_t>> parts;
  for (const QueryBranch& branch : query.branches) {
    if (branch.query) {
      parts.push_back(query_tables(*branch.query));
    } else {
      for (const FromItem* source : sources_of(*branch.core).sources()) {
        parts.push_back(tables(*source));
      }
    }
  }
  return tables_[&query] = merge(parts);
}

std::vector<std::uint32_t> ColumnTracer::merge(
    const std::vector<std::span<const std::uint32_t>>& parts) {
  merged_in_.resize(names_.size(), 0);
  ++merge_count_;
  std::vector<std::uint32_t> result;
  for (std::span<const std::uint32_t> part : parts) {
    for (std::uint32_t id : part) {
      if (merged_in_[id] == merge_count_) continue;
      merged_in_[id] = merge_count_;
      result.push_back(id);
    }
  }
  return result;
}

}  // namespace orvane::sql_parsing::internal
