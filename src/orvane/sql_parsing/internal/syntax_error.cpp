#include "orvane/sql_parsing/internal/syntax_error.hpp"

#include <algorithm>

namespace orvane::sql_parsing::internal {

void throw_syntax_error(std::string_view sql, std::uint32_t offset, const std::string& what) {
  std::string_view before = sql.substr(0, std::min<std::size_t>(offset, sql.size()));
  std::size_t line = 1 + std::count(before.begin(), before.end(), '\n');
  std::size_t line_start = before.rfind('\n');
  std::size_t column =
      before.size() - (line_start == std::string_view::npos ? 0 : line_start + 1) + 1;
  throw SqlSyntaxError("syntax error at line " + std::to_string(line) + ", column " +
                       std::to_string(column) + ": " + what);
}

}  // namespace orvane::sql_parsing::internal
