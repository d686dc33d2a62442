// A query result as row records: one JSON object per row, in row order, mapping every column
// name, in column order, to that row's value. This is the form a table-to-JSON writer in record
// orientation gives a result loaded into a typed table, once the JSON text is read back.
//
//   platform::snowflake::QueryResult result = connection.execute(sql);
//   nlohmann::ordered_json rows = platform::dataframe::to_row_records(result);
//   platform::json::dump_exact(rows)
//   // [{"ID":1,"PRICE":9.5,"SOLD_AT":1709164800000}, ...]; [] for no rows
//
// Value forms, cell by cell (the cell kinds of query_result.hpp):
//   null, NaN, +/-infinity      null
//   bool, text                  as they are (a bool column with nulls keeps its bools)
//   integer                     an integer, unless its column is floating point: a column that
//                               holds a null or a floating-point value is, provided all its
//                               integers fit either the signed or the unsigned 64-bit range,
//                               and then its integers become floating-point numbers too
//   integer beyond 64 bits      an exact number (platform/json/ordered_json.hpp), which
//                               json::dump_exact writes with every digit, as the reference
//                               writes it (123456789012345678901234567890); nlohmann holds no
//                               wider integer, and a rounded double would lose digits silently
//   floating point / decimal    at most 10 digits after the decimal point, 10 significant
//                               digits beyond 1e16 or below 1e-15 (internal/json_float.hpp),
//                               then the nearest double; 1e-11 gives 0.0
//   date, date-time             whole milliseconds since 1970-01-01 00:00 UTC: a naive
//                               date-time read as UTC, one with an offset as its instant, a
//                               date as its midnight UTC; the true value for years 1 to 9999
//   time of day                 the connector's text, "HH:MM:SS" or "HH:MM:SS.ffffff"
//   binary                      the connector's upper-case hex text (raw bytes are no JSON text)
//   variant, object, array      the connector's JSON text of the value, as text
//
// Throws platform::ValueError "DataFrame columns must be unique for orient='records'." when two
// columns share a name, whether or not there are rows. A pure function, safe from any thread.
#pragma once

#include <nlohmann/json.hpp>

#include "platform/snowflake/query_result.hpp"

namespace platform::dataframe {

nlohmann::ordered_json to_row_records(const snowflake::QueryResult& result);

}  // namespace platform::dataframe
