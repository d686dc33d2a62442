// Recursive-descent parser for the Snowflake statements whose FROM and JOIN clauses matter:
// queries (WITH, RECURSIVE, set operations, subqueries anywhere, LATERAL, table functions,
// stages, PIVOT/UNPIVOT, MATCH_RECOGNIZE, time travel, SAMPLE, QUALIFY, CONNECT BY), INSERT
// (also multi-table), CREATE ... AS, MERGE, UPDATE, DELETE, COPY INTO and EXPLAIN. Statements
// that cannot hold a query (SHOW, USE, ALTER, GRANT, ...) parse to empty statements. The ODBC
// escapes of BI tools ({fn ...}, {d '...'}, {oj ...}) read as what they wrap, and the clause
// keywords Snowflake does not reserve (WINDOW, PIVOT, UNPIVOT, MATCH_CONDITION) also name things.
//
// Expressions are parsed to find their extent, the columns they name and the subqueries inside;
// operator precedence does not matter for that, so no expression tree is built.
#pragma once

#include <string_view>
#include <vector>

#include "orvane/sql_parsing/internal/syntax_tree.hpp"
#include "orvane/sql_parsing/internal/token.hpp"

namespace orvane::sql_parsing::internal {

// The statements of `sql` (separated by semicolons), their nodes owned by `arena`. `tokens` are
// tokenize(sql). Throws SqlSyntaxError, also when nesting exceeds kMaxSqlNestingDepth.
TreeVector<Statement> parse_statements(std::string_view sql, const std::vector<Token>& tokens,
                                       SyntaxArena& arena);

}  // namespace orvane::sql_parsing::internal
