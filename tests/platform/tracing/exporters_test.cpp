#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "platform/errors/errors.hpp"
#include "platform/tracing/background_exporter.hpp"
#include "platform/tracing/local_store_exporter.hpp"
#include "platform/tracing/tracer.hpp"
#include "platform/tracing/tracking_server_exporter.hpp"
#include "tests/fakes/tracking/fake_tracking.hpp"
#include "tests/platform/tracing/tracing_test_support.hpp"
#include "tests/support/paths.hpp"

namespace platform::tracing {
namespace {

namespace fs = std::filesystem;

nlohmann::json read_json(const fs::path& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return nlohmann::json::parse(text.str());
}

// One build with one completion inside, as the generator makes them.
void trace_one_build(Tracer& tracer) {
  const ValueFunction completion = traced(
      tracer,
      [](const Value&) {
        return Value::Map{{"id", "chatcmpl-1"}};
      },
      "completion", span_type::kLLM);
  Span build(tracer, "build", span_type::kUnknown);
  completion(Value::Map{{"model", "gpt-4o-mini"}});
  build.set_outputs("model");
}

TEST(LocalStore, WritesExperimentAndTraceFilesInTheDocumentedLayout) {
  osa_test::ScratchDir scratch;
  const fs::path root = scratch.path() / "mlruns";
  {
    Tracer tracer(std::make_unique<LocalStoreExporter>(root));
    tracer.set_experiment("semantic_model_generation");
    trace_one_build(tracer);
  }  // the tracer flushes when it goes away
  EXPECT_EQ(read_json(root / "1" / "meta.json")["name"], "semantic_model_generation");
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(root / "1" / "traces")) {
    files.push_back(entry.path());
  }
  ASSERT_EQ(files.size(), 1u);
  const nlohmann::json trace = read_json(files[0]);
  EXPECT_EQ(files[0].filename().string(), trace["info"]["request_id"].get<std::string>() + ".json");
  EXPECT_EQ(trace["info"]["experiment_id"], "1");
  EXPECT_EQ(trace["info"]["name"], "build");
  EXPECT_EQ(trace["info"]["status"], "OK");
  const auto& spans = trace["data"]["spans"];
  ASSERT_EQ(spans.size(), 2u);
  EXPECT_EQ(spans[1]["parent_id"], spans[0]["context"]["span_id"]);
  EXPECT_EQ(spans[1]["attributes"]["mlflow.spanType"], "\"LLM\"");
  EXPECT_EQ(spans[1]["attributes"]["mlflow.spanInputs"], R"({"model":"gpt-4o-mini"})");
  EXPECT_EQ(spans[1]["attributes"]["mlflow.spanOutputs"], R"({"id":"chatcmpl-1"})");
  EXPECT_EQ(trace["data"]["response"], "\"model\"");

  // A later process finds the experiment again; another name gets the next id.
  LocalStoreExporter again(root);
  again.prepare_experiment("semantic_model_generation");
  again.prepare_experiment("other");
  EXPECT_FALSE(fs::exists(root / "3"));
  EXPECT_EQ(read_json(root / "2" / "meta.json")["name"], "other");
}

TEST(TrackingServer, CreatesTheExperimentThenStartsUploadsAndEndsEachTrace) {
  fakes::FakeTracking server;
  {
    Tracer tracer(std::make_unique<TrackingServerExporter>(
        server.url() + "/", std::vector<http::Header>{{"Authorization", "Bearer tok"}}));
    tracer.set_experiment("semantic_model_generation");
    trace_one_build(tracer);
    trace_one_build(tracer);
  }
  const auto requests = server.requests();
  std::vector<std::string> calls;
  for (const auto& request : requests) {
    calls.push_back(request.method + " " + request.path);
    EXPECT_EQ(request.authorization, "Bearer tok");
  }
  EXPECT_EQ(calls, (std::vector<std::string>{
                       "GET /api/2.0/mlflow/experiments/get-by-name?experiment_name="
                       "semantic_model_generation",
                       "POST /api/2.0/mlflow/experiments/create",
                       "POST /api/2.0/mlflow/traces",
                       "PUT /api/2.0/mlflow-artifacts/artifacts/1/traces/tr-fake-1/artifacts/"
                       "traces.json",
                       "PATCH /api/2.0/mlflow/traces/tr-fake-1",
                       "POST /api/2.0/mlflow/traces",
                       "PUT /api/2.0/mlflow-artifacts/artifacts/1/traces/tr-fake-2/artifacts/"
                       "traces.json",
                       "PATCH /api/2.0/mlflow/traces/tr-fake-2",
                   }));
  EXPECT_EQ(requests[1].body, R"({"name":"semantic_model_generation"})");
  const auto start = nlohmann::json::parse(requests[2].body);
  EXPECT_EQ(start["experiment_id"], "1");
  EXPECT_EQ(start["tags"][0]["key"], "mlflow.traceName");
  EXPECT_EQ(start["tags"][0]["value"], "build");
  EXPECT_EQ(nlohmann::json::parse(requests[3].body)["spans"].size(), 2u);
  const auto end = nlohmann::json::parse(requests[4].body);
  EXPECT_EQ(end["status"], "OK");
  EXPECT_GE(end["timestamp_ms"].get<std::int64_t>(), start["timestamp_ms"].get<std::int64_t>());
}

TEST(TrackingServer, ATraceIsEndedEvenWhenItsSpanDataCannotBeStored) {
  fakes::FakeTracking server;
  server.fail_with(500, "/api/2.0/mlflow-artifacts/");
  tracing_test::WarningCapture warnings;
  {
    Tracer tracer(
        std::make_unique<TrackingServerExporter>(server.url(), std::vector<http::Header>{}));
    trace_one_build(tracer);
  }
  const auto requests = server.requests();
  ASSERT_FALSE(requests.empty());
  EXPECT_EQ(requests.back().method + " " + requests.back().path,
            "PATCH /api/2.0/mlflow/traces/tr-fake-1");
  ASSERT_EQ(warnings.lines().size(), 1u);
  EXPECT_NE(warnings.lines()[0].find("status 500"), std::string::npos) << warnings.lines()[0];
}

TEST(TrackingServer, AuthComesFromTheServersUsualVariables) {
  ::unsetenv("MLFLOW_TRACKING_TOKEN");
  ::setenv("MLFLOW_TRACKING_USERNAME", "user", 1);
  ::setenv("MLFLOW_TRACKING_PASSWORD", "pass", 1);
  ASSERT_EQ(tracking_auth_from_env().size(), 1u);
  EXPECT_EQ(tracking_auth_from_env()[0].value, "Basic dXNlcjpwYXNz");
  ::setenv("MLFLOW_TRACKING_TOKEN", "tok", 1);
  EXPECT_EQ(tracking_auth_from_env()[0].value, "Bearer tok");
  ::unsetenv("MLFLOW_TRACKING_TOKEN");
  ::unsetenv("MLFLOW_TRACKING_USERNAME");
  ::unsetenv("MLFLOW_TRACKING_PASSWORD");
  EXPECT_TRUE(tracking_auth_from_env().empty());
}

TEST(ExporterFromEnv, TheTrackingUriChoosesTheStore) {
  for (const char* server : {"https://tracking.example", "HTTP://user:pw@127.0.0.1:5000/"}) {
    ::setenv("MLFLOW_TRACKING_URI", server, 1);
    EXPECT_NE(dynamic_cast<TrackingServerExporter*>(exporter_from_env().get()), nullptr) << server;
  }
  ::unsetenv("MLFLOW_TRACKING_URI");
  EXPECT_NE(dynamic_cast<LocalStoreExporter*>(exporter_from_env().get()), nullptr);
}

TEST(ExporterFromEnv, LocalStoresGoWhereTheFileUriOrPathSays) {
  osa_test::ScratchDir scratch;
  const std::string dir = (scratch.path() / "traces").string();
  for (const std::string& uri : {"file://" + dir + "/a", "file:" + dir + "/b", dir + "/c:d"}) {
    ::setenv("MLFLOW_TRACKING_URI", uri.c_str(), 1);
    exporter_from_env()->prepare_experiment("e");
  }
  ::unsetenv("MLFLOW_TRACKING_URI");
  for (const char* store : {"a", "b", "c:d"}) {
    EXPECT_TRUE(fs::exists(fs::path(dir) / store / "1" / "meta.json")) << store;
  }
}

// Stores this system does not serve: refused, never a local directory named after the URI.
TEST(ExporterFromEnv, OtherUrisAreRefusedWithoutTheirPassword) {
  osa_test::ScratchDir scratch;
  const fs::path old_directory = fs::current_path();
  fs::current_path(scratch.path());
  for (const char* uri :
       {"databricks", "databricks-uc", "databricks://profile", "sqlite:///mlflow.db",
        "postgresql://u:pw-in-url@db/mlflow", "ftp://x", "http:no-slashes"}) {
    SCOPED_TRACE(uri);
    ::setenv("MLFLOW_TRACKING_URI", uri, 1);
    try {
      exporter_from_env();
      ADD_FAILURE() << "accepted";
    } catch (const ValueError& error) {
      const std::string message = error.what();
      EXPECT_TRUE(message.starts_with("MLFLOW_TRACKING_URI \"")) << message;
      EXPECT_NE(message.find("is not supported"), std::string::npos) << message;
      EXPECT_EQ(message.find("pw-in-url"), std::string::npos) << message;
    }
  }
  ::unsetenv("MLFLOW_TRACKING_URI");
  fs::current_path(old_directory);
  EXPECT_TRUE(fs::is_empty(scratch.path()));
}

// Store failures are warned about once and never reach the traced code.
TEST(TracingFailures, AreHarmlessAndWarnedOnce) {
  osa_test::ScratchDir scratch;
  std::ofstream(scratch.path() / "a_file") << "x";
  fakes::FakeTracking failing_server;
  failing_server.fail_with(503);
  std::string closed_url;
  { closed_url = fakes::FakeTracking().url(); }

  std::vector<std::unique_ptr<TraceExporter>> stores;
  stores.push_back(std::make_unique<LocalStoreExporter>(scratch.path() / "a_file" / "mlruns"));
  stores.push_back(
      std::make_unique<TrackingServerExporter>(failing_server.url(), std::vector<http::Header>{}));
  stores.push_back(
      std::make_unique<TrackingServerExporter>(closed_url, std::vector<http::Header>{}));
  for (auto& store : stores) {
    tracing_test::WarningCapture warnings;
    {
      Tracer tracer(std::move(store));
      tracer.set_experiment("semantic_model_generation");
      EXPECT_NO_THROW(trace_one_build(tracer));
      EXPECT_NO_THROW(trace_one_build(tracer));
    }
    const auto lines = warnings.lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("Tracing export failed"), std::string::npos) << lines[0];
  }
}

// A tracking server that takes requests and never answers holds up the exit for the flush limit
// only, however many traces wait.
TEST(TracingFailures, AnUnresponsiveStoreHoldsUpTheEndOnlyForTheFlushLimit) {
  fakes::FakeTracking frozen_server;
  frozen_server.freeze();
  tracing_test::WarningCapture warnings;
  const auto began = std::chrono::steady_clock::now();
  {
    BackgroundExporter exporter(
        std::make_unique<TrackingServerExporter>(frozen_server.url(), std::vector<http::Header>{}),
        256, std::chrono::milliseconds(300));
    for (int index = 0; index < 20; ++index)
      exporter.prepare_experiment("e" + std::to_string(index));
  }
  EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(3));
  EXPECT_FALSE(frozen_server.requests().empty());
  const auto lines = warnings.lines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], "Tracing store did not take the last traces within 300 ms; 20 are dropped");
}

TEST(TracingFailures, TheWarningShowsTheServerWithoutItsPassword) {
  std::string closed_url;  // "http://127.0.0.1:<port>"
  { closed_url = fakes::FakeTracking().url(); }
  const std::string with_password = "http://user:pw-in-url@" + closed_url.substr(7);
  tracing_test::WarningCapture warnings;
  {
    Tracer tracer(
        std::make_unique<TrackingServerExporter>(with_password, std::vector<http::Header>{}));
    tracer.set_experiment("semantic_model_generation");
  }
  const auto lines = warnings.lines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find("tracking server at " + closed_url + " unreachable"), std::string::npos)
      << lines[0];
  EXPECT_EQ(lines[0].find("pw-in-url"), std::string::npos) << lines[0];
}

}  // namespace
}  // namespace platform::tracing
