// The in-memory answer to the catalogue's `listQueries` operation.
#pragma once

#include "platform/value/value.hpp"

namespace orvane::sdk::internal {

// Filters, sorts and pages the fixture's query entries by the operation's input:
//   "start", "count"  the page (defaults 0 and 20)
//   "source"          keeps entries of that "source" (entries without one always match)
//   "sortInput"       {"sortCriterion": {"field": F, "sortOrder": "ASCENDING"|"DESCENDING"}}:
//                     stable sort by the entries' number under F (missing sorts as lowest)
//   "orFilters"       [{"and": [{"field": "entities", "values": [...]}, ...]}, ...]: an entry
//                     matches when for some group every criterion has a subject whose
//                     "dataset" "urn" is among the values
// Returns {"start", "count", "total", "queries"}, the entries as the fixture holds them.
// Throws platform::ValueError naming the bad part of the input.
platform::Value list_queries(const platform::Value::List& queries, const platform::Value& input);

}  // namespace orvane::sdk::internal
