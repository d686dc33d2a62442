// Traces the columns of FROM items back to physical tables: through aliases, CTE and subquery
// select lists (any number of levels, renamed columns, CTE and alias column lists), set-operation
// branches (the same position in each), recursive CTEs and single-source `*`.
//
// A column is untraceable when it is unqualified over several sources, comes through `*` over
// several sources, is computed from no column, or passes through PIVOT/UNPIVOT or
// MATCH_RECOGNIZE. Table functions, VALUES and stages trace to no table at all.
//
// Results are memoised per query and column, so tracing is linear in the statement however the
// CTEs refer to each other. Works on a bound statement; one tracer per statement.
#pragma once

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "orvane/sql_parsing/internal/from_sources.hpp"
#include "orvane/sql_parsing/internal/syntax_tree.hpp"

namespace orvane::sql_parsing::internal {

struct TracedColumn {
  std::uint32_t table;  // id for ColumnTracer::table_name, or kUntracedTable
  std::string column;
  bool operator==(const TracedColumn&) const = default;
};

// The table of a column that cannot be traced.
inline constexpr std::uint32_t kUntracedTable = 0xffffffff;

// Drops every repeat after its first occurrence; linear in the size of `columns`.
void remove_repeats(std::vector<TracedColumn>& columns);

struct Trace {
  bool determined = false;
  std::vector<TracedColumn> columns;  // when determined; empty for table functions and such
};

class ColumnTracer {
 public:
  // `table_names`: BoundStatement::table_names of the statement traced.
  explicit ColumnTracer(const TreeVector<std::string_view>& table_names) : names_(table_names) {}

  // The CTEs in an order that keeps recursion shallow (BoundStatement::ctes_in_dependency_order):
  // when a CTE's tables are first needed, those of the CTEs before it are worked out first, so
  // no call recurses along a chain of CTEs. Other queries nest only as deep as the text does.
  // `ctes_in_dependency_order` must outlive the tracer.
  void set_cte_order(const TreeVector<const Cte*>& ctes_in_dependency_order) {
    cte_order_ = &ctes_in_dependency_order;
  }

  // The physical columns behind `column` of the rows `source` yields.
  Trace trace(const FromItem& source, const std::string& column);

  // trace() appending to `columns`: true when determined (else `columns` is unchanged).
  bool trace_into(const FromItem& source, const std::string& column,
                  std::vector<TracedColumn>& columns);

  // Every physical table `source` reads through its FROM clauses (and those of the CTEs and
  // subqueries it reads), first-seen order, as ids for table_name.
  std::span<const std::uint32_t> tables(const FromItem& source);
  std::string_view table_name(std::uint32_t id) const { return names_[id]; }

  // The names of `ids` in first-seen order, without duplicates.
  std::vector<std::string> unique_names(const std::vector<std::uint32_t>& ids);

 private:
  Trace trace_cte(const Cte& cte, const std::string& column);
  Trace trace_query(const Query& query, const std::string& column);
  Trace trace_query_at(const Query& query, std::size_t position);
  Trace trace_core(const SelectCore& core, const std::string& column);
  Trace trace_item(const SelectCore& core, const SelectItem& item);
  Trace trace_ref(const SelectCore& core, const ColumnRef& ref);
  const SourceIndex& sources_of(const SelectCore& core);
  const std::vector<std::uint32_t>& query_tables(const Query& query);
  const std::vector<std::uint32_t>& cte_tables(const Cte& cte);
  // First-seen union of `parts`, without duplicates.
  std::vector<std::uint32_t> merge(const std::vector<std::span<const std::uint32_t>>& parts);

  std::map<std::pair<const Query*, std::string>, Trace> by_name_;
  std::map<std::pair<const Query*, std::size_t>, Trace> by_position_;
  // Table lists are kept as ids: a chain of CTEs copies and merges them once per level.
  const TreeVector<std::string_view>& names_;
  std::unordered_map<const Query*, std::vector<std::uint32_t>> tables_;
  std::unordered_map<const FromItem*, std::vector<std::uint32_t>> group_tables_;
  const TreeVector<const Cte*>* cte_order_ = nullptr;
  std::size_t next_cte_ = 0;              // cte_order_ before this index has its tables worked out
  std::vector<std::uint32_t> merged_in_;  // per id: the merge that last took it
  std::uint32_t merge_count_ = 0;
  std::unordered_map<const SelectCore*, SourceIndex> sources_;
  int depth_ = 0;
};

}  // namespace orvane::sql_parsing::internal
