// The row sources of a FROM clause: its items with parenthesised joins opened up, and which of
// them a column qualifier names.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "orvane/sql_parsing/internal/syntax_tree.hpp"

namespace orvane::sql_parsing::internal {

// Appends the sources of `item` (itself, or every source inside a parenthesised join).
void collect_sources(const FromItem& item, std::vector<const FromItem*>& sources);

// Sources in textual order, looked up by qualifier; past a few sources through a map, so that a
// FROM clause with thousands of items stays linear.
class SourceIndex {
 public:
  SourceIndex() = default;
  explicit SourceIndex(const TreeVector<FromTerm>& from);

  // Adds the sources of `item`.
  void add(const FromItem& item);
  void add(const SourceIndex& other);
  void clear();

  // The last source that `qualifier` names (`alias`, `table`, `schema.table`, ...), or null.
  const FromItem* find(const NameParts& qualifier) const;

  const std::vector<const FromItem*>& sources() const { return sources_; }

 private:
  void add_source(const FromItem* source);
  void index(const FromItem* source);

  std::vector<const FromItem*> sources_;
  // By the name a qualifier ends with: the alias, else the last part of the table name. Built
  // once there are more than kLinearSources sources.
  std::unordered_map<std::string_view, std::vector<const FromItem*>> by_name_;
};

}  // namespace orvane::sql_parsing::internal
