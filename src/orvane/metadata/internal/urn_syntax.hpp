// The text grammar of URNs, shared by every URN kind (internal to orvane/metadata).
//
//   urn      := "urn:orvane:" entity-type ":" key
//   key      := part | "(" part ("," part)* ")"
//   part     := a nested urn | a plain value
//
// In a plain value "%", "(", ")" and "," are written as "%25", "%28", "%29" and "%2C"; no other
// escape exists, so every accepted text is written back exactly as it was read. A nested urn
// keeps its own parentheses. Everything else, Unicode included, is kept byte for byte.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace orvane::metadata::internal {

struct UrnSyntax {
  std::string entity_type;
  // The key's parts as written: plain values still escaped, nested urns as their text.
  std::vector<std::string> raw_parts;
  // Whether the key was written in parentheses.
  bool tuple = false;
};

// Splits `text` into its entity type and raw parts, checking the prefix, the entity type and
// the parentheses; the parts themselves are left to the kind, which knows which of them are
// urns. Throws platform::ValueError quoting `whole` (the text the caller was given).
UrnSyntax parse_urn_syntax(std::string_view text, std::string_view whole);

// The value of a plain part; throws platform::ValueError quoting `whole` on a raw "(", ")" or
// "," or an unknown escape.
std::string unescape_part(std::string_view raw, std::string_view whole);

std::string escape_part(std::string_view value);
void append_escaped_part(std::string& out, std::string_view value);

// The text form: "urn:orvane:<entity type>:" and the raw parts, in parentheses when `tuple`.
std::string join_urn(std::string_view entity_type, const std::vector<std::string>& raw_parts,
                     bool tuple);

[[noreturn]] void fail_urn(std::string_view whole, std::string_view reason);

}  // namespace orvane::metadata::internal
