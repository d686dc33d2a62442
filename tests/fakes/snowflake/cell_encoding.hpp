// How the fake warehouse writes one SQLite value into a JSON rowset cell of a given warehouse
// type. Every non-null cell is a JSON string (SQL NULL is JSON null):
//
//   fixed          decimal text with exactly `scale` fraction digits       "42", "-3.50"
//   real           shortest round-trip text; "NaN", "inf", "-inf"          "1.5"
//   text           the text itself (numbers written as text)               "alpha"
//   boolean        "1" / "0" (from 0/1 or true/false/yes/no/on/off text)    "1"
//   date           days since 1970-01-01                                   "19000"
//   time           seconds since midnight with `scale` fraction digits     "3723.500000000"
//   timestamp_ntz  epoch seconds.fraction of the wall-clock time read as UTC
//   timestamp_ltz  epoch seconds.fraction of the instant (text without an offset is UTC)
//   timestamp_tz   "<epoch seconds.fraction of the instant> <offset minutes + 1440>"
//   variant/object/array  the JSON text as stored
//   binary         upper-case hex of the bytes
//
// Dates and times are read from SQLite text such as "2024-01-02", "2024-01-02 03:04:05.5",
// "2024-01-02T03:04:05+01:00", "03:04:05.25"; integers count days (date) or seconds.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

#include "tests/fakes/snowflake/column_type.hpp"

namespace fakes::warehouse {

// A value as SQLite returned it; `storage` is its SQLite storage class.
struct SqliteValue {
  int storage = 5;  // SQLITE_NULL
  std::int64_t integer = 0;
  double real = 0;
  std::string bytes;  // text or blob
};

// A stored value that the column's type cannot hold, e.g. "hello" in a DATE column. The
// message reads like the warehouse's own ("Date 'hello' is not recognized").
class CellError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The rowset cell for `value` in a column of `type`; nullopt for NULL. Throws CellError.
std::optional<std::string> encode_cell(const ColumnType& type, const SqliteValue& value);

}  // namespace fakes::warehouse
