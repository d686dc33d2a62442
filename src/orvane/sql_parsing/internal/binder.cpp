#include "orvane/sql_parsing/internal/binder.hpp"

#include <string_view>
#include <unordered_map>

namespace orvane::sql_parsing::internal {
namespace {

constexpr std::size_t kLinearTables = 16;

class Binder {
 public:
  explicit Binder(const DatasetNaming& naming) : naming_(naming) {
    bound_.table_names.reserve(kLinearTables);
    bound_.scopes.reserve(8);
  }

  void bind_query(Query& query) {
    std::size_t mark = in_scope_.size();
    for (Cte* cte : query.ctes) {
      // A recursive CTE sees itself; any other sees only the CTEs before it.
      if (cte->recursive) enter(cte);
      bind_query(*cte->query);
      if (!cte->recursive) enter(cte);
      bound_.ctes_in_dependency_order.push_back(cte);
    }
    for (QueryBranch& branch : query.branches) {
      if (branch.core) bind_core(*branch.core);
      if (branch.query) bind_query(*branch.query);
    }
    bind_queries(query.subqueries);
    while (in_scope_.size() > mark) {
      visible_[in_scope_.back()->name].pop_back();
      in_scope_.pop_back();
    }
  }

  void bind_core(SelectCore& core) {
    bind_terms(core.from.data(), core.from.size());
    bind_queries(core.subqueries);
  }

  BoundStatement take() { return std::move(bound_); }

 private:
  void bind_queries(const TreeVector<Query*>& queries) {
    for (Query* query : queries) bind_query(*query);
  }

  void bind_terms(FromTerm* terms, std::size_t count) {
    if (count == 0) return;
    bound_.scopes.push_back(JoinScope{terms, count});
    for (std::size_t i = 0; i < count; ++i) {
      bind_item(*terms[i].first);
      for (JoinStep& step : terms[i].joins) {
        bind_item(*step.right);
        bind_queries(step.condition.subqueries);
      }
    }
  }

  void bind_item(FromItem& item) {
    switch (item.kind) {
      case FromKind::kTable:
        item.cte = item.name.size() == 1 ? find_cte(item.name[0]) : nullptr;
        if (!item.cte) {
          write_dataset_urn(naming_, item.name, urn_);
          item.urn = urn_;
          item.table_id = table_id(item.urn);
        }
        break;
      case FromKind::kSubquery:
        bind_query(*item.query);
        break;
      case FromKind::kGroup:
        bind_terms(&item.group, 1);
        break;
      case FromKind::kFunction:
      case FromKind::kValues:
      case FromKind::kStage:
        break;
    }
    bind_queries(item.subqueries);
  }

  // Ids by linear search while there are few tables, by hash map beyond.
  std::uint32_t table_id(std::string_view urn) {
    TreeVector<std::string_view>& names = bound_.table_names;
    auto next = static_cast<std::uint32_t>(names.size());
    if (names.size() < kLinearTables) {
      for (std::uint32_t id = 0; id < next; ++id) {
        if (names[id] == urn) return id;
      }
    } else {
      if (table_ids_.empty()) {
        for (std::uint32_t id = 0; id < next; ++id) table_ids_.emplace(names[id], id);
      }
      auto [it, added] = table_ids_.try_emplace(urn, next);
      if (!added) return it->second;
    }
    names.push_back(urn);
    return next;
  }

  void enter(const Cte* cte) {
    in_scope_.push_back(cte);
    visible_[cte->name].push_back(cte);
  }

  const Cte* find_cte(const std::string& name) const {
    auto it = visible_.find(name);
    return it == visible_.end() || it->second.empty() ? nullptr : it->second.back();
  }

  const DatasetNaming& naming_;
  std::string urn_;                   // storage reused from table to table
  std::vector<const Cte*> in_scope_;  // innermost last
  std::unordered_map<std::string_view, std::vector<const Cte*>>
      visible_;  // by name, innermost last
  BoundStatement bound_;
  std::unordered_map<std::string_view, std::uint32_t> table_ids_;  // keys point into the tree
};

}  // namespace

BoundStatement bind_statement(Statement& statement, const DatasetNaming& naming) {
  Binder binder(naming);
  for (Query* query : statement.queries) binder.bind_query(*query);
  for (SelectCore* core : statement.cores) binder.bind_core(*core);
  return binder.take();
}

}  // namespace orvane::sql_parsing::internal
