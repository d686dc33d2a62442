// The GraphQL operation that reads an entity's aspects; the in-memory catalogue answers it and
// OrvaneGraph sends it.
#pragma once

#include <string_view>

namespace orvane::sdk::internal {

// Variables: "urn" (text, required) and "aspects" (list of aspect names; absent or null for all).
// Answer: {"entity": null} for an unknown entity, else
//         {"entity": {"urn": ..., "aspects": [{"name": ..., "value": {...}}, ...]}}.
inline constexpr std::string_view kEntityAspectsQuery =
    "query getEntityAspects($urn: String!, $aspects: [String!]) {\n"
    "  entity(urn: $urn) {\n"
    "    urn\n"
    "    aspects(names: $aspects) {\n"
    "      name\n"
    "      value\n"
    "    }\n"
    "  }\n"
    "}\n";

}  // namespace orvane::sdk::internal
