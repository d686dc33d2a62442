// Binds the table names of parsed statements: a one-part name that a CTE in scope defines becomes
// a CTE reference (CTE names shadow tables), every other name a physical table's URN.
#pragma once

#include <vector>

#include "orvane/sql_parsing/internal/dataset_urn.hpp"
#include "orvane/sql_parsing/internal/syntax_tree.hpp"

namespace orvane::sql_parsing::internal {

// A run of FROM terms whose joins see each other: a whole FROM clause, or the inside of one
// parenthesised join.
struct JoinScope {
  const FromTerm* terms;
  std::size_t count;
};

struct BoundStatement {
  TreeVector<JoinScope> scopes;
  // Every CTE, each after the CTEs it reads (a recursive CTE's self-reference aside), so that
  // work done in this order never recurses along a chain of CTEs.
  TreeVector<const Cte*> ctes_in_dependency_order;
  // The distinct physical tables' URN texts, by FromItem::table_id.
  TreeVector<std::string_view> table_names;
};

// Binds `statement` in place. The result lives in the statement's SyntaxArena.
BoundStatement bind_statement(Statement& statement, const DatasetNaming& naming);

}  // namespace orvane::sql_parsing::internal
