// Conversion of the warehouse's JSON row cells (text, or null) to typed values; see
// query_result.hpp for the value kind of each column type.
#pragma once

#include <nlohmann/json.hpp>

#include "platform/snowflake/query_result.hpp"

namespace platform::snowflake::internal {

// The column as `rowtype` describes it.
Column column_from_rowtype(const nlohmann::json& entry);

// One cell. `result_version` is the answer's "version" (0 for the legacy TIMESTAMP_TZ form).
// Throws SnowflakeError for a cell that does not read as its column's type.
Value convert_cell(const Column& column, const nlohmann::json& cell, int result_version);

}  // namespace platform::snowflake::internal
