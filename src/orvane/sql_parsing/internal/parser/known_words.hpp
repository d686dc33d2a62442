// Words the grammar treats specially that are no keywords: the tokenizer does not look them up,
// the parser compares the few tokens where they may stand. Compared ignoring ASCII case.
#pragma once

#include <span>
#include <string_view>

#include "platform/text/ascii_case.hpp"

namespace orvane::sql_parsing::internal {

using platform::text::equals_ignore_case;

inline bool is_one_of(std::string_view word, std::span<const std::string_view> names) {
  for (std::string_view candidate : names) {
    if (equals_ignore_case(word, candidate)) return true;
  }
  return false;
}

// Functions whose first argument is a date or time part (`DATEADD(day, 1, d)`), not a column.
inline constexpr std::string_view kDatePartFirstFunctions[] = {
    "DATEADD",       "DATEDIFF",   "TIMEADD",   "TIMEDIFF", "TIMESTAMPADD",
    "TIMESTAMPDIFF", "DATE_TRUNC", "DATE_PART", "EXTRACT"};

// Functions called without parentheses, which would otherwise read as columns.
inline constexpr std::string_view kNiladicFunctions[] = {
    "CURRENT_DATE",      "CURRENT_TIME",     "CURRENT_TIMESTAMP", "CURRENT_USER",
    "CURRENT_ROLE",      "LOCALTIME",        "LOCALTIMESTAMP",    "SYSDATE",
    "CURRENT_WAREHOUSE", "CURRENT_DATABASE", "CURRENT_SCHEMA"};

// Types that prefix a string to make a literal: DATE '2024-01-01'.
inline constexpr std::string_view kTypedLiteralPrefixes[] = {
    "DATE", "TIME", "TIMESTAMP", "TIMESTAMP_LTZ", "TIMESTAMP_NTZ", "TIMESTAMP_TZ"};

// First words of statements that hold no query; they parse to nothing.
inline constexpr std::string_view kQueryFreeStatements[] = {
    "SHOW",    "DESCRIBE", "DESC",   "USE",      "ALTER", "GRANT",  "REVOKE", "DROP",
    "UNDROP",  "TRUNCATE", "COMMIT", "ROLLBACK", "BEGIN", "START",  "CALL",   "SET",
    "UNSET",   "PUT",      "GET",    "LIST",     "LS",    "REMOVE", "RM",     "COMMENT",
    "EXECUTE", "ABORT",    "KILL",   "DECLARE",  "RETURN"};

}  // namespace orvane::sql_parsing::internal
