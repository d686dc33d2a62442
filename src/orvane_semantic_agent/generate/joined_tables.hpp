// The two records the generator files mined joins with.
//
//   SourcedJoinInfo sourced{.query_urn = QueryUrn("q1"), .query_text = sql, .join = join};
//   JoinedTables group{orders, customers};   // the tables one join touches
//   JoinedTables{customers, orders} == group;                // a set: order does not matter
//   fmt::format("{}", group);
//   // "JoinedTables({DatasetUrn('urn:...orders...'), DatasetUrn('urn:...customers...')})"
//
// Values; safe to share between threads once built.
#pragma once

#include <fmt/format.h>

#include <cstddef>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "orvane/metadata/urns.hpp"
#include "orvane/sql_parsing/sql_lineage.hpp"

namespace orvane_semantic_agent::generate {

// One join found in one historic query.
struct SourcedJoinInfo {
  orvane::metadata::urns::QueryUrn query_urn;
  std::string query_text;  // the query's SQL statement
  orvane::sql_parsing::JoinInfo join;
};

// A join group: the immutable set of dataset URNs (one or two) that a recorded join touches.
// Equal and hashed by value, whatever the order of its members; iterated in the order they were
// given, duplicates dropped (a table joined with itself is a group of one).
class JoinedTables {
 public:
  using DatasetUrn = orvane::metadata::urns::DatasetUrn;

  JoinedTables(std::initializer_list<DatasetUrn> urns);

  bool contains(const DatasetUrn& urn) const;
  std::size_t size() const { return members_.size(); }
  std::vector<DatasetUrn>::const_iterator begin() const { return members_.begin(); }
  std::vector<DatasetUrn>::const_iterator end() const { return members_.end(); }

  friend bool operator==(const JoinedTables& a, const JoinedTables& b);

 private:
  std::vector<DatasetUrn> members_;
};

// Python's text form of the group: "JoinedTables({DatasetUrn('<urn>'), ...})".
std::string repr(const JoinedTables& tables);

}  // namespace orvane_semantic_agent::generate

template <>
struct std::hash<orvane_semantic_agent::generate::JoinedTables> {
  // Order-independent, so equal sets hash equal.
  std::size_t operator()(
      const orvane_semantic_agent::generate::JoinedTables& tables) const noexcept;
};

template <>
struct fmt::formatter<orvane_semantic_agent::generate::JoinedTables>
    : fmt::formatter<std::string_view> {
  template <typename Context>
  auto format(const orvane_semantic_agent::generate::JoinedTables& tables, Context& context) const {
    return fmt::formatter<std::string_view>::format(repr(tables), context);
  }
};
