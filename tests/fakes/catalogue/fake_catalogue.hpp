// A fake catalogue server for tests: the catalogue's GraphQL endpoint (POST /api/graphql) on
// 127.0.0.1, answering from an in-memory catalogue filled from a JSON fixture (the fixture format
// of in_memory_graph.hpp). Tests start it in-process; the program fake_catalogue runs
// the same server by hand.
//
//   fakes::FakeCatalogue fake({.fixture_path = "tests/data/catalogue/sales.json", .token = "t"});
//   fake.script({.status = 503});          // the next request fails once
//   HttpOrvaneGraph graph({.server_url = fake.url(), .token = "t"});
//   ... graph.execute_graphql(...) ...
//   fake.requests();                        // what arrived over HTTP, headers included
//
// Answers: {"data": ...}; GraphQL errors of the catalogue as {"data": null, "errors": [...]}
// with status 200; a body that is no GraphQL request gets 400 with "errors"; a missing or wrong
// bearer token (when `token` is set) gets 401 with the text "Unauthorized".
//
// Thread-safety: every member may be called from any thread while the server runs. The
// constructor throws std::runtime_error when the port cannot be bound, and the fixture's
// platform::ValueError for a bad fixture.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tests/fakes/catalogue/in_memory_graph.hpp"

namespace fakes {

struct FakeCatalogueOptions {
  std::string fixture_path;  // used when `catalogue` is not given
  std::shared_ptr<orvane::sdk::InMemoryOrvaneGraph> catalogue;
  std::optional<std::string> token;  // the bearer token required, when set
  int port = 0;                      // 0 = any free port
};

// An answer to give instead of the catalogue's, for the next request not yet answered.
struct ScriptedAnswer {
  int status = 200;
  std::string body;
  std::vector<std::pair<std::string, std::string>> headers;
  std::chrono::milliseconds delay{0};  // waited before answering
  bool from_catalogue = false;         // after the delay, answer as the catalogue would
};

struct RecordedRequest {
  std::string path, body;
  std::vector<std::pair<std::string, std::string>> headers;
  std::optional<std::string> header(const std::string& name) const;
};

class FakeCatalogue {
 public:
  explicit FakeCatalogue(FakeCatalogueOptions options);
  ~FakeCatalogue();  // stops the server, cutting scripted delays short
  FakeCatalogue(const FakeCatalogue&) = delete;
  FakeCatalogue& operator=(const FakeCatalogue&) = delete;

  int port() const;
  std::string url() const;  // "http://127.0.0.1:<port>"

  void script(ScriptedAnswer answer);
  std::vector<RecordedRequest> requests() const;
  orvane::sdk::InMemoryOrvaneGraph& catalogue() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace fakes
