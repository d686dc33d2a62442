// The one failure of tokenizing and parsing: a message saying where and what.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace orvane::sql_parsing::internal {

class SqlSyntaxError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Throws "syntax error at line L, column C: <what>", the position counted in `sql` at `offset`.
[[noreturn]] void throw_syntax_error(std::string_view sql, std::uint32_t offset,
                                     const std::string& what);

}  // namespace orvane::sql_parsing::internal
