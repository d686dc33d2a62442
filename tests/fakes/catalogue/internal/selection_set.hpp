// The selection set of a GraphQL operation as a tree of field names, for the in-memory catalogue
// to check what it is asked against the catalogue's schema.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace orvane::sdk::internal {

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
