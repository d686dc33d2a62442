// Just enough reading of GraphQL text to tell operations apart (the HTTP client names the
// operation in its log line). The lexical pieces are shared with the in-memory catalogue of the
// tests, which reads whole selection sets with them.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace orvane::sdk::internal {

// The first root field of the operation, past an alias: "listQueries" in
// "query q($input: ListQueriesInput!) { result: listQueries(input: $input) { ... } }".
// Comments, strings and the variable definitions are skipped. None when there is no selection.
std::optional<std::string> root_field(std::string_view query);

// The offset of the first character at or after `at` that is no blank, comma (insignificant in
// GraphQL) or comment.
std::size_t skip_ignored(std::string_view text, std::size_t at);

// The name that starts at `at` (empty when none starts there); leaves `at` just past it.
std::string read_name(std::string_view text, std::size_t& at);

// The offset just past the bracketed group that opens at `at` ("(...)" or "[...]"), strings
// skipped. Throws platform::ValueError "Syntax Error: Expected ")", found <EOF>." when the group
// does not close.
std::size_t skip_group(std::string_view text, std::size_t at);

}  // namespace orvane::sdk::internal
