// The catalogue's GraphQL schema as docs/catalogue.md defines it, for the in-memory catalogue
// to refuse a selection the real catalogue would refuse (a misspelt field, a sub-selection on a
// text, an object without one), so a test against it catches what production would.
#pragma once

#include <vector>

#include "tests/fakes/catalogue/internal/selection_set.hpp"

namespace orvane::sdk::internal {

// Checks the operation's root selection against the schema. Throws GraphQLError with every
// problem, in the catalogue's wording, e.g.
//   Cannot query field "datasets" on type "QuerySubject".
//   Field "dataset" of type "Dataset" must have a selection of subfields.
//   Field "urn" must not have a selection since type "String" has no subfields.
void check_selection(const std::vector<SelectedField>& root);

}  // namespace orvane::sdk::internal
