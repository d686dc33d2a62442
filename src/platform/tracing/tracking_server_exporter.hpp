// Sends traces to a tracking server through its REST API:
//   GET   /api/2.0/mlflow/experiments/get-by-name?experiment_name=...   (404: create it)
//   POST  /api/2.0/mlflow/experiments/create          {"name"}
//   POST  /api/2.0/mlflow/traces                      start: experiment, start time, tags
//   PUT   /api/2.0/mlflow-artifacts/artifacts/<trace artifact path>/traces.json   span data
//   PATCH /api/2.0/mlflow/traces/<request_id>         end: end time, status, previews
// The span data goes to the trace's artifact location that the server returns in the tag
// "mlflow.artifactLocation" when that location is served by the server itself
// ("mlflow-artifacts:"); any other location cannot be reached from here and is reported.
//
// Auth, as the server's own clients read it: MLFLOW_TRACKING_TOKEN (a bearer token), else
// MLFLOW_TRACKING_USERNAME and MLFLOW_TRACKING_PASSWORD (basic auth). Credentials never appear in
// a log line or an error text. Throws platform::RuntimeError on any failed exchange.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/http/http_client.hpp"
#include "platform/tracing/trace_exporter.hpp"

namespace platform::tracing {

class TrackingServerExporter : public TraceExporter {
 public:
  // `uri` is the server's base URL, e.g. "http://127.0.0.1:5000"; credentials from the env.
  explicit TrackingServerExporter(std::string uri);
  TrackingServerExporter(std::string uri, std::vector<http::Header> auth_headers);

  void prepare_experiment(const std::string& name) override;
  void export_trace(const TraceRecord& trace) override;

 private:
  std::string experiment_id(const std::string& name);
  Value call(const std::string& method, const std::string& path, const std::string& body,
             long* status = nullptr);

  std::string base_;
  std::vector<http::Header> auth_headers_;
  std::map<std::string, std::string> experiment_ids_;  // by name
};

// The Authorization header the env asks for, if any.
std::vector<http::Header> tracking_auth_from_env();

}  // namespace platform::tracing
