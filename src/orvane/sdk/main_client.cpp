#include "orvane/sdk/main_client.hpp"

#include <algorithm>
#include <cmath>

#include "orvane/sdk/http_graph.hpp"
#include "platform/errors/errors.hpp"

namespace orvane::sdk {
namespace {

constexpr double kMaxTimeoutSeconds = 24 * 60 * 60;

}  // namespace

OrvaneClient::OrvaneClient(std::shared_ptr<OrvaneGraph> graph)
    : graph_(std::move(graph)), entities_(graph_) {
  platform::check(graph_ != nullptr, "OrvaneClient needs a graph");
}

OrvaneClient OrvaneClient::from_env() {
  return from_env(platform::settings::process_environment());
}

OrvaneClient OrvaneClient::from_env(const platform::settings::Environment& environment) {
  platform::settings::EnvSettings env("OrvaneClient", "ORVANE_", environment);
  HttpGraphOptions options;
  options.server_url = env.required_text("server_url");
  options.token = env.text("token");
  if (std::optional<double> seconds = env.positive_seconds("timeout_seconds")) {
    // A day is already far beyond any useful wait; the cap keeps the conversion in range.
    options.total_timeout =
        std::chrono::milliseconds(std::llround(std::min(*seconds, kMaxTimeoutSeconds) * 1000));
    options.connect_timeout = std::min(options.connect_timeout, options.total_timeout);
  }
  if (!options.server_url.empty() && !options.server_url.starts_with("http://") &&
      !options.server_url.starts_with("https://")) {
    env.add_problem("server_url", "must start with http:// or https://");
  }
  env.finish();
  return OrvaneClient(std::make_shared<HttpOrvaneGraph>(std::move(options)));
}

}  // namespace orvane::sdk
