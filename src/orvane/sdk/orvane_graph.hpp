// `OrvaneGraph`: the catalogue's GraphQL graph, the one seam between the system and a catalogue.
//
// Implementations supply only `execute_graphql`; every other read is built on it, so the HTTP
// client (http_graph.hpp) and the tests' in-memory catalogue
// (tests/fakes/catalogue/in_memory_graph.hpp) read entities and aspects through the same code.
//
//   platform::Value data = graph.execute_graphql(list_queries_gql, variables);
//   EntityAspects aspects = graph.get_entity_semityped("urn:orvane:query:q1");
//   std::optional<UsageFeaturesClass> usage = graph.get_aspect<UsageFeaturesClass>(dataset_text);
//
// Errors: GraphQLError (graphql_error.hpp) when the catalogue answers with GraphQL errors;
// platform::RuntimeError when the catalogue cannot be reached, answers with an HTTP error or
// answers something malformed. Thread-safety: as the implementation says (both given here are
// safe to use from several threads).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "orvane/sdk/entity_aspects.hpp"
#include "platform/value/value.hpp"

namespace orvane::sdk {

class OrvaneGraph {
 public:
  virtual ~OrvaneGraph() = default;

  // Runs one GraphQL operation with its variables (a map, or null for none) and returns the
  // answer's "data" as nested maps and lists.
  virtual platform::Value execute_graphql(const std::string& query,
                                          const platform::Value& variables) = 0;

  // Every aspect of the entity; empty when the catalogue does not know the entity.
  EntityAspects get_entity_semityped(const std::string& urn);

  // The entity's aspect of that class, or none when the entity or the aspect is absent.
  template <typename Aspect>
  std::optional<Aspect> get_aspect(const std::string& urn) {
    std::optional<EntityAspects> aspects = get_entity_aspects(urn, {Aspect::ASPECT_NAME});
    if (!aspects) return std::nullopt;
    return aspects->get<Aspect>();
  }

  // The entity's aspects of the given names (all when `names` is empty), or none when the
  // catalogue does not know the entity. The operation sent is `entity` (docs/catalogue.md).
  std::optional<EntityAspects> get_entity_aspects(const std::string& urn,
                                                  const std::vector<std::string_view>& names);
};

}  // namespace orvane::sdk
