// Just enough reading of GraphQL text to tell operations apart (the in-memory catalogue
// answers by it; the HTTP client names the operation in its log line).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace orvane::sdk::internal {

// The first root field of the operation, past an alias: "listQueries" in
// "query q($input: ListQueriesInput!) { result: listQueries(input: $input) { ... } }".
// Comments, strings and the variable definitions are skipped. None when there is no selection.
std::optional<std::string> root_field(std::string_view query);

}  // namespace orvane::sdk::internal
