// The result of one statement: its columns as the warehouse describes them and its rows as
// typed values.
//
//   QueryResult result = connection.execute("SELECT id, name FROM t");
//   for (const auto& row : result.rows) use(row[0].as_int(), row[1]);  // nulls stay null
//
// Cell values by column type (`Column::type`, the warehouse's lower-case name):
//   fixed          scale 0: int (a BigInt beyond 64 bits); scale > 0: double
//   real           double (NaN and the infinities included)
//   text           string
//   boolean        bool
//   date           Date
//   time           string "HH:MM:SS" with ".ffffff" when there are microseconds
//   timestamp_ntz  naive DateTime
//   timestamp_ltz  DateTime at UTC offset 0 (the instant; the session's time zone is not applied)
//   timestamp_tz   DateTime with its own UTC offset
//   variant, object, array, map   string, the value's JSON text as the warehouse sent it
//   binary         string, upper-case hex as the warehouse sent it
// Fractions of a second beyond microseconds are cut off. Other types keep the sent text.
#pragma once

#include <string>
#include <vector>

#include "platform/value/value.hpp"

namespace platform::snowflake {

struct Column {
  std::string name;
  std::string type;  // "fixed", "text", "timestamp_tz", ...
  int precision = 0;
  int scale = 0;
  bool nullable = true;
};

struct QueryResult {
  std::string query_id;
  std::vector<Column> columns;
  std::vector<std::vector<Value>> rows;
};

}  // namespace platform::snowflake
