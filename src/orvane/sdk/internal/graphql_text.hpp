// Just enough reading of GraphQL text to tell operations apart (the in-memory catalogue
// answers by it; the HTTP client names the operation in its log line).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvane::sdk::internal {

// The first root field of the operation, past an alias: "listQueries" in
// "query q($input: ListQueriesInput!) { result: listQueries(input: $input) { ... } }".
// Comments, strings and the variable definitions are skipped. None when there is no selection.
std::optional<std::string> root_field(std::string_view query);

// One field of a selection set, by its name (not its alias); arguments and directives are
// skipped. `selection` is empty when the field selects no sub-fields.
struct SelectedField {
  std::string name;
  std::vector<SelectedField> selection;
};

// The operation's selection set, read up to the end of the operation. Throws platform::ValueError
// "Syntax Error: ..." for a selection set that does not close, and for fragment spreads, which the
// agent never sends.
std::vector<SelectedField> operation_selection(std::string_view query);

}  // namespace orvane::sdk::internal
