// Turns the join scopes of a bound statement into JoinInfo records.
#pragma once

#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

#include "orvane/sql_parsing/internal/binder.hpp"
#include "orvane/sql_parsing/internal/column_tracer.hpp"
#include "orvane/sql_parsing/sql_lineage.hpp"

namespace orvane::sql_parsing::internal {

// Most table, column and side entries that the joins of one text may list or examine in all; a
// text past this (thousands of joins, each over thousands of items) is refused rather than
// answered with gigabytes after minutes.
inline constexpr std::size_t kMaxReportedEntries = 1'000'000;

// Appends one JoinInfo per join step of `scopes` to `joins`, each with the byte offset of its
// join keyword. Throws SqlSyntaxError when the joins would list more than kMaxReportedEntries
// entries.
void extract_joins(std::string_view sql, const TreeVector<JoinScope>& scopes, ColumnTracer& tracer,
                   std::vector<std::pair<std::uint32_t, JoinInfo>>& joins);

}  // namespace orvane::sql_parsing::internal
