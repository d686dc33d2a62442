// Whether a text is exactly one stage reference, so it can stand in a statement without
// changing what the statement does.
//
//   is_one_stage_reference("@db.schema.models/v2/")   // true
//   is_one_stage_reference("@models; DROP TABLE t")   // false
//
// Accepted: "@", then "~" (the user's stage) or one to three dot-separated names, the last one
// optionally after "%" (a table's stage); a name is a plain identifier (letters, digits, "_",
// "$"; not starting with a digit) or a double-quoted one ("" for a quote, no control
// characters); then an optional path of "/"-separated segments of letters, digits and
// "_-.=+,:@$~!()%".
#pragma once

#include <string_view>

namespace orvane_semantic_agent::cortex::internal {

bool is_one_stage_reference(std::string_view text);

}  // namespace orvane_semantic_agent::cortex::internal
