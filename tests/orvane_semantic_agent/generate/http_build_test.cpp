// One whole build over HTTP: the fake catalogue and the fake LLM servers, traces in a local store.
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>

#include "orvane/sdk/http_graph.hpp"
#include "platform/json/json_writer.hpp"
#include "platform/llm/completion.hpp"
#include "platform/tracing/local_store_exporter.hpp"
#include "tests/fakes/catalogue/fake_catalogue.hpp"
#include "tests/fakes/llm/fake_llm.hpp"
#include "tests/orvane_semantic_agent/generate/generator_test_support.hpp"
#include "tests/support/paths.hpp"

namespace orvane_semantic_agent::generate {
namespace {

TEST(HttpBuild, GivesTheSameModelAsInProcessAndStoresOneTrace) {
  CatalogueFixture catalogue;
  std::string in_process;
  {
    GeneratorHarness harness;
    two_start_tables(catalogue, harness.llm);
    in_process = SemanticModelGenerator(catalogue.client(), 30, {{urn("orders"), urn("customers")}})
                     .build()
                     ->to_yaml();
  }

  fakes::FakeCatalogue fake_catalogue({.catalogue = catalogue.graph()});
  const auto relationship = [](const std::string& tables) {
    return fakes::tool_call_answer("JoinRelationship",
                                   platform::json::write(two_start_tables_relationship(tables)));
  };
  fakes::FakeLlm llm(std::vector<fakes::LlmAnswer>{
      fakes::tool_call_answer("Response", R"({"content": ["ID"]})"), relationship("customers"),
      relationship("\"name\":\"products\"")});
  osa_test::ScratchDir store;
  std::string over_http;
  {
    platform::tracing::Tracer tracer(
        std::make_unique<platform::tracing::LocalStoreExporter>(store.path()));
    tracer.set_experiment("semantic_model_generation");
    platform::llm::CompletionSettings settings{.api_key = "sk-test", .base_url = llm.base_url()};
    internal::ScopedModuleTracing module(tracer, platform::llm::completion_with(settings));
    orvane::sdk::OrvaneClient client(std::make_shared<orvane::sdk::HttpOrvaneGraph>(
        orvane::sdk::HttpGraphOptions{.server_url = fake_catalogue.url()}));
    over_http =
        SemanticModelGenerator(client, 30, {{urn("orders"), urn("customers")}}).build()->to_yaml();
    tracer.flush();
  }
  EXPECT_EQ(over_http, in_process);
  EXPECT_NE(over_http.find("orders -> customers: Each order has one customer"), std::string::npos);

  const auto requests = llm.requests();
  ASSERT_EQ(requests.size(), 3u);
  for (const auto& request : requests) {
    EXPECT_EQ(request.path, "/v1/chat/completions");
    EXPECT_EQ(request.authorization, "Bearer sk-test");
    const auto body = nlohmann::json::parse(request.body);
    EXPECT_EQ(body["model"], "gpt-4o-mini");
    EXPECT_EQ(body["messages"][0]["role"], "system");
  }

  std::vector<std::filesystem::path> traces;
  for (const auto& file : std::filesystem::directory_iterator(store.path() / "1" / "traces")) {
    traces.push_back(file.path());
  }
  ASSERT_EQ(traces.size(), 1u);
  std::ifstream file(traces[0]);
  const auto trace = nlohmann::json::parse(file);
  EXPECT_EQ(trace["info"]["name"], "build");
  EXPECT_EQ(trace["info"]["status"], "OK");
  EXPECT_EQ(trace["data"]["spans"].size(), 4u);
}

}  // namespace
}  // namespace orvane_semantic_agent::generate
