#include "tests/fakes/catalogue/fake_catalogue.hpp"

#include <httplib.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <thread>

#include "orvane/sdk/graphql_error.hpp"
#include "platform/json/ordered_json.hpp"
#include "platform/text/ascii_case.hpp"

namespace fakes {
namespace {

using Json = nlohmann::ordered_json;

constexpr char kJson[] = "application/json";

Json errors_answer(const std::vector<std::string>& messages) {
  Json errors = Json::array();
  for (const std::string& message : messages) errors.push_back({{"message", message}});
  return {{"data", nullptr}, {"errors", errors}};
}

}  // namespace

struct FakeCatalogue::State {
  FakeCatalogueOptions options;
  httplib::Server server;
  std::thread thread;
  int port = 0;

  mutable std::mutex mutex;
  std::condition_variable stopping_changed;
  bool stopping = false;
  std::deque<ScriptedAnswer> scripted;
  std::vector<RecordedRequest> requests;

  void handle(const httplib::Request& request, httplib::Response& response);
  void answer_from_catalogue(const httplib::Request& request, httplib::Response& response);
};

std::optional<std::string> RecordedRequest::header(const std::string& name) const {
  for (const auto& [key, value] : headers) {
    if (platform::text::equals_ignore_case(key, name)) return value;
  }
  return std::nullopt;
}

void FakeCatalogue::State::handle(const httplib::Request& request, httplib::Response& response) {
  std::optional<ScriptedAnswer> answer;
  {
    std::lock_guard lock(mutex);
    RecordedRequest recorded{.path = request.path, .body = request.body};
    for (const auto& [name, value] : request.headers) recorded.headers.emplace_back(name, value);
    requests.push_back(std::move(recorded));
    if (!scripted.empty()) {
      answer = std::move(scripted.front());
      scripted.pop_front();
    }
  }
  if (answer && answer->delay.count() > 0) {
    std::unique_lock lock(mutex);
    stopping_changed.wait_for(lock, answer->delay, [this] { return stopping; });
  }
  if (answer && !answer->from_catalogue) {
    response.status = answer->status;
    for (const auto& [name, value] : answer->headers) response.set_header(name, value);
    response.set_content(answer->body, kJson);
    return;
  }
  if (options.token && request.get_header_value("Authorization") != "Bearer " + *options.token) {
    response.status = 401;
    response.set_content("Unauthorized", "text/plain");
    return;
  }
  answer_from_catalogue(request, response);
}

void FakeCatalogue::State::answer_from_catalogue(const httplib::Request& request,
                                                 httplib::Response& response) {
  const Json body = Json::parse(request.body, nullptr, /*allow_exceptions=*/false);
  if (!body.is_object() || !body.contains("query") || !body["query"].is_string()) {
    response.status = 400;
    response.set_content(errors_answer({"Must provide query string."}).dump(), kJson);
    return;
  }
  const platform::Value variables = body.contains("variables")
                                        ? platform::json::from_ordered_json(body["variables"])
                                        : platform::Value();
  Json answer;
  try {
    const platform::Value data =
        options.catalogue->execute_graphql(body["query"].get<std::string>(), variables);
    answer = {{"data", platform::json::to_ordered_json(data)}};
  } catch (const orvane::sdk::GraphQLError& error) {
    answer = errors_answer(error.messages());
  } catch (const std::exception& error) {
    response.status = 500;
    answer = errors_answer({error.what()});
  }
  response.set_content(answer.dump(), kJson);
}

FakeCatalogue::FakeCatalogue(FakeCatalogueOptions options) : state_(std::make_unique<State>()) {
  State& state = *state_;
  state.options = std::move(options);
  if (!state.options.catalogue) {
    state.options.catalogue =
        orvane::sdk::InMemoryOrvaneGraph::from_file(state.options.fixture_path);
  }
  state.server.Post("/api/graphql",
                    [&state](const httplib::Request& request, httplib::Response& response) {
                      state.handle(request, response);
                    });
  // Answers leave at once instead of waiting for the client's delayed ACK.
  state.server.set_tcp_nodelay(true);
  if (state.options.port == 0) {
    state.port = state.server.bind_to_any_port("127.0.0.1");
  } else if (state.server.bind_to_port("127.0.0.1", state.options.port)) {
    state.port = state.options.port;
  }
  if (state.port <= 0) throw std::runtime_error("cannot bind a port on 127.0.0.1");
  state.thread = std::thread([&state] { state.server.listen_after_bind(); });
  for (int waited = 0; !state.server.is_running(); ++waited) {
    if (waited > 5000) {
      state.server.stop();
      state.thread.join();
      throw std::runtime_error("fake catalogue did not start");
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

FakeCatalogue::~FakeCatalogue() {
  {
    std::lock_guard lock(state_->mutex);
    state_->stopping = true;
  }
  state_->stopping_changed.notify_all();
  state_->server.stop();
  state_->thread.join();
}

int FakeCatalogue::port() const { return state_->port; }

std::string FakeCatalogue::url() const { return "http://127.0.0.1:" + std::to_string(port()); }

void FakeCatalogue::script(ScriptedAnswer answer) {
  std::lock_guard lock(state_->mutex);
  state_->scripted.push_back(std::move(answer));
}

std::vector<RecordedRequest> FakeCatalogue::requests() const {
  std::lock_guard lock(state_->mutex);
  return state_->requests;
}

orvane::sdk::InMemoryOrvaneGraph& FakeCatalogue::catalogue() const {
  return *state_->options.catalogue;
}

}  // namespace fakes
