// Lower-casing by Unicode's simple case mapping (one code point to one code point), the way
// identifiers are compared and named without regard to case.
//
//   lower_case("KUNDEN_ÜBERSICHT") == "kunden_übersicht"
//   lower_case("ΠΑΡΑΓΓΕΛΙΕΣ")      == "παραγγελιεσ"   (no final-sigma rule: a simple mapping)
//
// The mappings are Unicode 15.0's (internal/lower_case_table.inc, generated from its data).
// Bytes that are not well-formed UTF-8 are kept as they are. ASCII text takes a fast path.
#pragma once

#include <string>
#include <string_view>

namespace platform::text {

// The simple lowercase mapping of one code point; itself when it has none.
char32_t lower_case(char32_t code_point);

std::string lower_case(std::string_view text);

}  // namespace platform::text
