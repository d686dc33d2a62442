// `InMemoryOrvaneGraph`: a catalogue held in memory, filled from a JSON fixture, for tests of
// code that reads the catalogue without HTTP. The fake catalogue server answers from the same
// class, so a test against either sees the same answers.
//
//   auto graph = InMemoryOrvaneGraph::from_file("tests/data/catalogue/sales.json");
//   OrvaneClient client(graph);
//   ... run the code under test ...
//   graph->requests();   // every operation asked, in order, with its variables
//
// Fixture (docs/catalogue.md has the full description):
//   {"entities": {"<urn>": {"<aspect name>": {...aspect...}, ...}, ...},
//    "queries":  [{"urn": "<query urn>", "source": "SYSTEM", "runsPercentileLast30days": 97.5,
//                  "subjects": [{"dataset": {"urn": "<dataset urn>"}, "schemaField": null}]}]}
//
// Operations answered (by their first root field): `entity` (entity_operation.hpp) and
// `listQueries` (input "start", "count", "source", "sortInput", "orFilters" on "entities").
// The selection is checked against the schema of docs/catalogue.md (a field the schema lacks,
// or a missing or surplus sub-selection, is refused as the catalogue would refuse it); answers
// hold the fixture's entries whole. Anything else, or bad variables, raises GraphQLError with a
// GraphQL-style message.
// Loading throws platform::ValueError "Invalid catalogue fixture: ..." for a bad fixture.
// Thread-safe: the data never changes after loading; the request log is locked.
#pragma once

#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "orvane/sdk/orvane_graph.hpp"

namespace orvane::sdk {

class InMemoryOrvaneGraph : public OrvaneGraph {
 public:
  explicit InMemoryOrvaneGraph(const platform::Value& fixture);
  static std::shared_ptr<InMemoryOrvaneGraph> from_json_text(const std::string& text);
  static std::shared_ptr<InMemoryOrvaneGraph> from_file(const std::filesystem::path& path);

  platform::Value execute_graphql(const std::string& query,
                                  const platform::Value& variables) override;

  struct Request {
    std::string operation;  // the root field, e.g. "listQueries"
    platform::Value variables;
  };
  std::vector<Request> requests() const;

 private:
  platform::Value answer_entity(const platform::Value& variables) const;
  platform::Value answer_list_queries(const platform::Value& variables) const;

  std::unordered_map<std::string, platform::Value::Map> entities_;
  platform::Value::List queries_;

  mutable std::mutex requests_mutex_;
  std::vector<Request> requests_;
};

}  // namespace orvane::sdk
