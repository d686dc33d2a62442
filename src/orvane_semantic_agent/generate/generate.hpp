// The semantic model generator: from a few start datasets of the catalogue to a validated
// semantic model of them and of the tables joined to them.
//
//   orvane_semantic_agent::generate::load_module();   // once, at process start-up
//   SemanticModelGenerator generator(client, SemanticModelGenerator::kDefaultMaxTables,
//                                    start_urns);
//   std::shared_ptr<semantic_model::SemanticModel> model = generator.build();
//
// One generator serves one build, from one thread.
#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "orvane/metadata/urns.hpp"
#include "orvane/sdk/main_client.hpp"
#include "orvane_semantic_agent/semantic_model/semantic_model.hpp"

namespace orvane_semantic_agent::generate {

// The module's start-up work (tracking experiment, traced completion, query text, token
// encoding). Runs once per process, before the `.env` file is loaded; later calls do nothing.
void load_module();

class SemanticModelGenerator {
 public:
  static constexpr int kDefaultMaxTables = 30;

  SemanticModelGenerator(
      orvane::sdk::OrvaneClient client, int max_tables = kDefaultMaxTables,
      std::optional<std::vector<orvane::metadata::urns::DatasetUrn>> start_urns = std::nullopt);

  std::shared_ptr<semantic_model::SemanticModel> build();
};

}  // namespace orvane_semantic_agent::generate
