#include "platform/tracing/tracking_server_exporter.hpp"

#include <fmt/format.h>

#include <cstdlib>
#include <memory>
#include <nlohmann/json.hpp>

#include "platform/errors/errors.hpp"
#include "platform/http/percent_encoding.hpp"
#include "platform/json/json_writer.hpp"
#include "platform/json/ordered_json.hpp"
#include "platform/text/base64.hpp"
#include "platform/text/redact.hpp"

namespace platform::tracing {

namespace {

std::string env_text(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? std::string(value) : std::string();
}

Value key_values(const Value::Map& entries) {
  Value::List list;
  for (const auto& [key, value] : entries)
    list.push_back(Value::Map{{"key", key}, {"value", value}});
  return list;
}

std::string truncated(std::string text) { return text.size() > 1000 ? text.substr(0, 1000) : text; }

}  // namespace

std::vector<http::Header> tracking_auth_from_env() {
  if (const std::string token = env_text("MLFLOW_TRACKING_TOKEN"); !token.empty()) {
    return {{"Authorization", "Bearer " + token}};
  }
  const std::string user = env_text("MLFLOW_TRACKING_USERNAME");
  const std::string password = env_text("MLFLOW_TRACKING_PASSWORD");
  if (!user.empty() || !password.empty()) {
    return {{"Authorization", "Basic " + text::base64(user + ":" + password)}};
  }
  return {};
}

TrackingServerExporter::TrackingServerExporter(std::string uri)
    : TrackingServerExporter(std::move(uri), tracking_auth_from_env()) {}

TrackingServerExporter::TrackingServerExporter(std::string uri,
                                               std::vector<http::Header> auth_headers)
    : base_(std::move(uri)), auth_headers_(std::move(auth_headers)) {
  while (!base_.empty() && base_.back() == '/') base_.pop_back();
}

Value TrackingServerExporter::call(const std::string& method, const std::string& path,
                                   const std::string& body, long* status) {
  http::Request request{.method = method, .url = base_ + path, .body = body};
  request.headers = auth_headers_;
  if (!body.empty()) request.headers.push_back({"Content-Type", "application/json"});
  request.connect_timeout = std::chrono::seconds(5);
  request.total_timeout = std::chrono::seconds(10);
  http::RetryPolicy retry{.max_retries = 1, .initial_backoff = std::chrono::milliseconds(200)};
  const http::Result result = http::perform_with_retries(request, retry);
  if (!result.ok()) {
    throw RuntimeError(fmt::format("tracking server at {} unreachable: {}",
                                   text::without_user_info(base_), result.error_message()));
  }
  const http::Response& response = result.response();
  if (status != nullptr) *status = response.status;
  if (response.status >= 300 && status == nullptr) {
    throw RuntimeError(fmt::format("tracking server answered {} {} with status {}: {}", method,
                                   path.substr(0, path.find('?')), response.status,
                                   truncated(response.body)));
  }
  const auto json = nlohmann::ordered_json::parse(response.body, nullptr, false);
  return json.is_discarded() ? Value() : json::from_ordered_json(json);
}

std::string TrackingServerExporter::experiment_id(const std::string& name) {
  if (auto known = experiment_ids_.find(name); known != experiment_ids_.end()) {
    return known->second;
  }
  long status = 0;
  Value found =
      call("GET",
           "/api/2.0/mlflow/experiments/get-by-name?experiment_name=" + http::percent_encode(name),
           "", &status);
  std::string id;
  if (status == 200) {
    const Value* experiment = found.find("experiment");
    const Value* found_id = experiment != nullptr ? experiment->find("experiment_id") : nullptr;
    if (found_id != nullptr && found_id->is_string()) id = found_id->as_string();
  } else if (status == 404) {
    Value created =
        call("POST", "/api/2.0/mlflow/experiments/create", json::write(Value::Map{{"name", name}}));
    const Value* created_id = created.find("experiment_id");
    if (created_id != nullptr && created_id->is_string()) id = created_id->as_string();
  } else {
    throw RuntimeError(
        fmt::format("tracking server answered the experiment look-up with status {}", status));
  }
  if (id.empty()) throw RuntimeError("tracking server gave no experiment id for " + name);
  return experiment_ids_[name] = id;
}

void TrackingServerExporter::prepare_experiment(const std::string& name) { experiment_id(name); }

void TrackingServerExporter::export_trace(const TraceRecord& trace) {
  const std::string experiment = experiment_id(trace.experiment_name);
  const SpanRecord& root = trace.root();
  const Value started =
      call("POST", "/api/2.0/mlflow/traces",
           json::write(Value::Map{{"experiment_id", experiment},
                                  {"timestamp_ms", root.start_time_ns / 1'000'000},
                                  {"request_metadata", Value::List{}},
                                  {"tags", key_values({{"mlflow.traceName", root.name}})}}));
  const Value* info = started.find("trace_info");
  const Value* request_id = info != nullptr ? info->find("request_id") : nullptr;
  if (request_id == nullptr || !request_id->is_string()) {
    throw RuntimeError("tracking server gave no request id for a new trace");
  }

  std::string artifact_location;
  if (const Value* tags = info->find("tags"); tags != nullptr && tags->is_list()) {
    for (const Value& tag : tags->as_list()) {
      const Value* key = tag.find("key");
      const Value* value = tag.find("value");
      if (key != nullptr && key->is_string() && key->as_string() == "mlflow.artifactLocation" &&
          value != nullptr && value->is_string()) {
        artifact_location = value->as_string();
      }
    }
  }
  // The trace is ended even when its span data cannot be stored, so it never stays open.
  std::string upload_problem;
  const std::string served_prefix = "mlflow-artifacts:";
  if (artifact_location.rfind(served_prefix, 0) == 0) {
    std::string path = artifact_location.substr(served_prefix.size());
    // "mlflow-artifacts://host/path" names the host; the path after it is what counts.
    if (path.rfind("//", 0) == 0) path = path.substr(std::min(path.find('/', 2), path.size()));
    while (!path.empty() && path.front() == '/') path.erase(0, 1);
    try {
      call("PUT", "/api/2.0/mlflow-artifacts/artifacts/" + path + "/traces.json",
           json::write(trace_data(trace)));
    } catch (const RuntimeError& error) {
      upload_problem = error.what();
    }
  } else {
    upload_problem =
        "span data not uploaded: the trace's artifact location is not served by the tracking "
        "server";
  }

  call("PATCH", "/api/2.0/mlflow/traces/" + request_id->as_string(),
       json::write(
           Value::Map{{"request_id", *request_id},
                      {"timestamp_ms", root.end_time_ns / 1'000'000},
                      {"status", root.status},
                      {"request_metadata",
                       key_values({{"mlflow.traceInputs", truncated(json::write(root.inputs))},
                                   {"mlflow.traceOutputs", truncated(json::write(root.outputs))}})},
                      {"tags", Value::List{}}}));
  if (!upload_problem.empty()) throw RuntimeError(upload_problem);
}

}  // namespace platform::tracing
