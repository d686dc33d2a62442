// Joins of one Snowflake SQL text, with the physical tables on each side of every JOIN.
//
//   auto result = orvane::sql_parsing::parse_sql_lineage(
//       "SELECT * FROM orders o JOIN customers c ON o.customer_id = c.id", "snowflake",
//       std::nullopt, "SALES", "PUBLIC");
//   // result.joins->at(0).join_type == "INNER"
//   // result.joins->at(0).left_tables ==
//   //     {"urn:orvane:dataset:(urn:orvane:dataPlatform:snowflake,sales.public.orders,PROD)"}
//
// The text (one or more statements) is tokenized and parsed: SELECT with WITH and set
// operations, INSERT, CREATE ... AS, MERGE, UPDATE, DELETE, COPY, EXPLAIN; statements that hold
// no query (SHOW, USE, ALTER, GRANT, SET, ...) give no joins. Every explicit JOIN anywhere in it
// is reported, in the textual order of the JOIN keywords. Comma joins, a MERGE's own ON and
// DELETE ... USING are not JOINs.
//
// Sides: `right_tables` are the physical tables behind the joined item, `left_tables` those of
// the items before the JOIN in the same FROM (comma items and table functions included). When the
// condition names a side's qualifiers, a side lists only the tables those columns trace back to
// (through aliases, CTE and subquery select lists, set-operation branches, single-source `*`), in
// the order the condition first names them; a subquery or CTE whose column cannot be traced gives
// every physical table it reads from its FROM clauses. A side whose qualifiers the condition never
// names (USING, NATURAL, CROSS, unqualified columns, no condition) gives all its physical tables.
// Table functions (FLATTEN, TABLE(...), ...), VALUES lists and stage references are no tables.
//
// Table names: dataset URN texts, the name being `db.schema.table` lower-cased by Unicode's simple
// case mapping (quoted identifiers too; KUNDEN_ÜBERSICHT gives kunden_übersicht), prefixed by
// `<platform_instance>.` when one is given; one-part names take
// `default_db` and `default_schema`, two-part names `default_db`; a `,`, `(` or `)` in the name is
// percent-encoded. `platform` may be a plain name ("snowflake") or a data platform URN text, and
// `platform_instance` a plain name or a data platform instance URN text.
//
// Never throws for any SQL text: an unparsable text, nesting deeper than `kMaxSqlNestingDepth`
// or joins whose sides would list more than a million tables give `joins` none and the reason in
// `error` ("syntax error at line 3, column 14: unexpected ')'; expected a table"). Time is linear
// in the text apart from the size of the answer itself. Safe to call from any thread (each thread
// keeps one token buffer between calls).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvane::sql_parsing {

// Nesting of parentheses, subqueries and CASE expressions beyond this is a parse error.
inline constexpr int kMaxSqlNestingDepth = 256;

// One column that a join condition names, traced to its physical table when possible.
struct ColumnInvolved {
  std::optional<std::string> table;  // dataset URN text; none when it cannot be traced
  std::string column;                // lower-cased
  bool operator==(const ColumnInvolved&) const = default;
};

struct JoinInfo {
  // "INNER", "LEFT OUTER", "RIGHT OUTER", "FULL OUTER", "CROSS", "ASOF", and with NATURAL
  // "NATURAL INNER", "NATURAL LEFT OUTER", ...
  std::string join_type;
  std::vector<std::string> left_tables;   // dataset URN texts, first-seen order, no duplicates
  std::vector<std::string> right_tables;  // dataset URN texts, first-seen order, no duplicates
  // The condition as written: the text after ON, or the USING clause, or
  // "MATCH_CONDITION (...) ON ..." of an ASOF join; none without a condition.
  std::optional<std::string> on_clause;
  std::vector<ColumnInvolved> columns_involved;  // in condition order, no duplicates
  bool operator==(const JoinInfo&) const = default;
};

struct SqlParsingResult {
  std::optional<std::vector<JoinInfo>> joins;  // none when the text cannot be parsed
  std::optional<std::string> error;            // why it cannot be parsed
};

SqlParsingResult parse_sql_lineage(std::string_view sql, std::string_view platform,
                                   const std::optional<std::string>& platform_instance,
                                   const std::optional<std::string>& default_db,
                                   const std::optional<std::string>& default_schema);

}  // namespace orvane::sql_parsing
