// Splits Snowflake SQL text into tokens: comments (--, //, /* */ including /*+ hints */) and
// whitespace dropped; quoted identifiers with doubled quotes; strings with backslash escapes and
// doubled quotes; $$-strings; $1 and $name variables; @stage references.
#pragma once

#include <string_view>
#include <vector>

#include "orvane/sql_parsing/internal/token.hpp"

namespace orvane::sql_parsing::internal {

// Replaces `tokens` with the tokens of `sql`, always ending with one kEnd token (a caller may
// keep one vector for many texts and save the allocation). Throws SqlSyntaxError on an
// unterminated string, quoted identifier or comment, or on text longer than 1 GiB.
void tokenize(std::string_view sql, std::vector<Token>& tokens);

}  // namespace orvane::sql_parsing::internal
