// How the fake warehouse gives an SQLite result column a warehouse type.
//
// SQLite has no warehouse types, so a column's type comes from, in this order:
//   1. the declared type of the table column it reads (CREATE TABLE t (d DATE, n NUMBER(10,2)));
//      the names below are matched case-insensitively, "(...)" gives precision/scale/length;
//   2. otherwise the SQLite values the column holds: integers are fixed(38,0), floats real,
//      blobs binary, text (and a column of nulls only) text.
//
//   declared                                              warehouse type
//   NUMBER/DECIMAL/NUMERIC(p,s), INT/INTEGER/BIGINT/...    fixed (precision p, scale s; 38,0)
//   FLOAT/FLOAT4/FLOAT8/DOUBLE/DOUBLE PRECISION/REAL       real
//   VARCHAR/CHAR/CHARACTER/STRING/TEXT/NVARCHAR/NCHAR(n)   text (length n; 16777216)
//   BOOLEAN                                               boolean
//   DATE                                                  date
//   TIME(s)                                               time (scale s; 9)
//   TIMESTAMP_NTZ(s)/TIMESTAMP(s)/DATETIME(s)             timestamp_ntz (scale s; 9)
//   TIMESTAMP_LTZ(s), TIMESTAMP_TZ(s)                     timestamp_ltz, timestamp_tz
//   VARIANT, OBJECT, ARRAY                                variant, object, array
//   BINARY/VARBINARY(n), BLOB                             binary (length n; 8388608)
//
// Example: column_type_from_declared("number(10,2)") -> {type "fixed", precision 10, scale 2}.
#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace fakes::warehouse {

struct ColumnType {
  std::string type;  // the warehouse's lower-case type name, e.g. "fixed", "timestamp_tz"
  std::optional<int> precision;
  std::optional<int> scale;
  std::optional<std::int64_t> length;
  std::optional<std::int64_t> byte_length;
};

// The type for a declared SQLite column type; nullopt when the name is empty or unknown.
std::optional<ColumnType> column_type_from_declared(std::string_view declared);

// The type for a column without a known declared type, from the SQLite storage class
// (SQLITE_INTEGER, SQLITE_FLOAT, SQLITE_TEXT, SQLITE_BLOB or SQLITE_NULL) of its values.
ColumnType column_type_from_storage(int storage_class);

// One "rowtype" entry as the warehouse sends it (database "FAKEDB", schema "PUBLIC", every
// column nullable). `table` may be empty (an expression).
nlohmann::ordered_json rowtype_entry(const std::string& name, const std::string& table,
                                     const ColumnType& type);

}  // namespace fakes::warehouse
