// `OrvaneClient`: the catalogue client the system holds for its whole run.
//
//   OrvaneClient client = OrvaneClient::from_env();           // over HTTP(S)
//   OrvaneClient test_client(InMemoryOrvaneGraph::from_file(fixture));  // tests, in memory
//   Dataset dataset = client.entities().get(dataset_urn);
//   platform::Value data = client._graph().execute_graphql(query, variables);
//   auto usage = client._graph().get_aspect<schema_classes::UsageFeaturesClass>(urn_text);
//
// Environment read by `from_env`:
//   ORVANE_SERVER_URL        required; the catalogue's base url, http:// or https://
//   ORVANE_TOKEN             optional; sent as "Authorization: Bearer <token>"
//   ORVANE_TIMEOUT_SECONDS   optional; one request's total time limit, 30 by default
// A variable set to the empty text counts as unset. `from_env` throws platform::ValidationError
// naming each bad variable ("1 validation error for OrvaneClient\nORVANE_SERVER_URL\n  Field
// required"); the token's value is never echoed.
//
// Copies share one graph. Thread-safe when the graph is (both graphs given here are).
#pragma once

#include <memory>

#include "orvane/sdk/entities.hpp"
#include "orvane/sdk/orvane_graph.hpp"
#include "platform/settings/env_settings.hpp"

namespace orvane::sdk {

class OrvaneClient {
 public:
  explicit OrvaneClient(std::shared_ptr<OrvaneGraph> graph);

  static OrvaneClient from_env();
  static OrvaneClient from_env(const platform::settings::Environment& environment);

  const Entities& entities() const { return entities_; }
  OrvaneGraph& _graph() const { return *graph_; }

 private:
  std::shared_ptr<OrvaneGraph> graph_;
  Entities entities_;
};

}  // namespace orvane::sdk
