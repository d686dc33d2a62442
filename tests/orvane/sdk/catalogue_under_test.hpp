// The two ways a test reaches the catalogue fixture: in memory, or over HTTP through the fake
// catalogue server. The shared read suite runs every case against both so they cannot drift.
#pragma once

#include <memory>
#include <string>

#include "orvane/sdk/http_graph.hpp"
#include "tests/fakes/catalogue/fake_catalogue.hpp"
#include "tests/fakes/catalogue/in_memory_graph.hpp"

namespace orvane_test {

inline const std::string kFixture = "tests/data/catalogue/sales.json";
inline const std::string kToken = "tok-3f9a1c-secret";

inline std::string dataset_text(const std::string& table) {
  return "urn:orvane:dataset:(urn:orvane:dataPlatform:snowflake,sales_db.public." + table +
         ",PROD)";
}

// Retries that do not sleep, so failure cases stay fast.
inline platform::http::RetryPolicy quick_retries(int max_retries = 3) {
  return {.max_retries = max_retries, .sleep = [](std::chrono::milliseconds) {}};
}

struct CatalogueUnderTest {
  std::unique_ptr<fakes::FakeCatalogue> fake;  // only over HTTP
  std::shared_ptr<orvane::sdk::OrvaneGraph> graph;
};

inline CatalogueUnderTest in_memory_catalogue() {
  return {nullptr, orvane::sdk::InMemoryOrvaneGraph::from_file(kFixture)};
}

inline CatalogueUnderTest http_catalogue() {
  auto fake = std::make_unique<fakes::FakeCatalogue>(
      fakes::FakeCatalogueOptions{.fixture_path = kFixture, .token = kToken});
  auto graph = std::make_shared<orvane::sdk::HttpOrvaneGraph>(orvane::sdk::HttpGraphOptions{
      .server_url = fake->url(), .token = kToken, .retry = quick_retries()});
  return {std::move(fake), std::move(graph)};
}

}  // namespace orvane_test
