// Typed query results for the row record tests, written column by column.
#pragma once

#include <string>
#include <vector>

#include "platform/snowflake/query_result.hpp"

namespace platform::dataframe::testing {

struct TypedColumn {
  std::string name;
  std::string type;
  int scale = 0;
  std::vector<Value> cells;
};

// The result whose columns are `columns`, in order; every column holds one cell per row.
inline snowflake::QueryResult make_result(const std::vector<TypedColumn>& columns) {
  snowflake::QueryResult result;
  const std::size_t rows = columns.empty() ? 0 : columns.front().cells.size();
  result.rows.resize(rows);
  for (const auto& column : columns) {
    result.columns.push_back({.name = column.name, .type = column.type, .scale = column.scale});
    for (std::size_t row = 0; row < rows; ++row) result.rows[row].push_back(column.cells.at(row));
  }
  return result;
}

}  // namespace platform::dataframe::testing
