// Dates and date-times as whole milliseconds since 1970-01-01 00:00 UTC.
#pragma once

#include <cstdint>

#include "platform/value/value.hpp"

namespace platform::dataframe::internal {

// Midnight UTC of `date`.
std::int64_t epoch_milliseconds(const Date& date);
// The instant of `datetime`: its UTC offset taken off, a naive one read as UTC. A part of a
// millisecond is cut off toward 1970 (1969-12-31 23:59:59.9995 gives 0), as the reference
// writer does; any year from 1 to 9999 gives its true value.
std::int64_t epoch_milliseconds(const DateTime& datetime);

}  // namespace platform::dataframe::internal
