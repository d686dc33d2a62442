#include "tests/fakes/tracking/fake_tracking.hpp"

#include <nlohmann/json.hpp>

namespace fakes {

FakeTracking::FakeTracking() {
  auto handler = [this](const httplib::Request& request, httplib::Response& response) {
    handle(request, response);
  };
  server_.Get(".*", handler);
  server_.Post(".*", handler);
  server_.Put(".*", handler);
  server_.Patch(".*", handler);
  running_ = std::make_unique<LoopbackServer>(server_);
}

FakeTracking::~FakeTracking() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  thawed_.notify_all();
  running_.reset();
}

void FakeTracking::freeze() {
  std::lock_guard lock(mutex_);
  frozen_ = true;
}

std::vector<TrackingRequest> FakeTracking::requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

void FakeTracking::fail_with(int status, std::string path_prefix) {
  std::lock_guard lock(mutex_);
  fail_status_ = status;
  fail_prefix_ = std::move(path_prefix);
}

void FakeTracking::handle(const httplib::Request& request, httplib::Response& response) {
  std::unique_lock lock(mutex_);
  std::string path = request.path;
  if (!request.params.empty()) {
    path += "?";
    for (const auto& [key, value] : request.params) path += key + "=" + value + "&";
    path.pop_back();
  }
  requests_.push_back(
      {request.method, path, request.get_header_value("Authorization"), request.body});
  thawed_.wait(lock, [this] { return !frozen_ || stopping_; });
  if (stopping_) return;
  auto reply = [&](int status, const nlohmann::json& body) {
    response.status = status;
    response.set_content(body.dump(), "application/json");
  };
  if (fail_status_ != 0 && request.path.rfind(fail_prefix_, 0) == 0)
    return reply(fail_status_, {{"error_code", "INTERNAL_ERROR"}});

  const auto body = nlohmann::json::parse(request.body, nullptr, false);
  if (request.path == "/api/2.0/mlflow/experiments/get-by-name") {
    const std::string name = request.get_param_value("experiment_name");
    for (std::size_t i = 0; i < experiments_.size(); ++i) {
      if (experiments_[i] == name) {
        return reply(200,
                     {{"experiment", {{"experiment_id", std::to_string(i + 1)}, {"name", name}}}});
      }
    }
    return reply(404, {{"error_code", "RESOURCE_DOES_NOT_EXIST"}});
  }
  if (request.path == "/api/2.0/mlflow/experiments/create" && body.is_object()) {
    experiments_.push_back(body.value("name", ""));
    return reply(200, {{"experiment_id", std::to_string(experiments_.size())}});
  }
  if (request.method == "POST" && request.path == "/api/2.0/mlflow/traces" && body.is_object()) {
    const std::string id = "tr-fake-" + std::to_string(++traces_);
    const std::string experiment = body.value("experiment_id", "");
    return reply(
        200,
        {{"trace_info",
          {{"request_id", id},
           {"experiment_id", experiment},
           {"tags", nlohmann::json::array({{{"key", "mlflow.artifactLocation"},
                                            {"value", "mlflow-artifacts:/" + experiment +
                                                          "/traces/" + id + "/artifacts"}}})}}}});
  }
  if (request.method == "PUT" || request.method == "PATCH")
    return reply(200, nlohmann::json::object());
  reply(404, {{"error_code", "ENDPOINT_NOT_FOUND"}});
}

}  // namespace fakes
