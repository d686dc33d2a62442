// Routes through which a test that runs the fake as a separate program scripts and inspects it.
#include "tests/fakes/snowflake/fake_snowflake_impl.hpp"

namespace fakes {

void add_control_routes(FakeSnowflake::Impl& fake) {
  fake.route("GET", "/__fake__/state",
             [&fake](const httplib::Request&, httplib::Response& response) {
               std::lock_guard lock(fake.mutex);
               FakeSnowflake::Impl::reply(
                   response, Json{{"open_sessions", fake.open_session_count()},
                                  {"analyst_answers_left", fake.analyst_answers.size()},
                                  {"put_answers", fake.put_answers}});
             });
  fake.route(
      "POST", "/__fake__/faults",
      [&fake](const httplib::Request& request, httplib::Response& response) {
        const auto spec = nlohmann::json::parse(request.body, nullptr, false);
        if (!spec.is_object() || !spec.contains("path_prefix")) {
          FakeSnowflake::Impl::reply(response, Json{{"error", "path_prefix is missing"}}, 400);
          return;
        }
        const auto& body = spec.contains("body") ? spec["body"] : nlohmann::json();
        fake.add_fault({.path_prefix = spec.value("path_prefix", ""),
                        .status = spec.value("status", 0),
                        .remaining = spec.value("times", 1),
                        .body = body.is_null() ? "" : body.dump(),
                        .retry_after = spec.value("retry_after", ""),
                        .hold = std::chrono::milliseconds(spec.value("hold_ms", 0))});
        FakeSnowflake::Impl::reply(response, Json::object());
      });
  fake.route("POST", "/__fake__/forget-sessions",
             [&fake](const httplib::Request&, httplib::Response& response) {
               std::lock_guard lock(fake.mutex);
               fake.sessions.clear();
               FakeSnowflake::Impl::reply(response, Json::object());
             });
  fake.route("POST", "/__fake__/analyst-answers",
             [&fake](const httplib::Request& request, httplib::Response& response) {
               auto answers =
                   analyst_answers_of(nlohmann::json::parse(request.body, nullptr, false));
               std::lock_guard lock(fake.mutex);
               for (auto& answer : answers) fake.analyst_answers.push_back(std::move(answer));
               FakeSnowflake::Impl::reply(
                   response, Json{{"analyst_answers_left", fake.analyst_answers.size()}});
             });
  fake.route("POST", "/__fake__/frozen",
             [&fake](const httplib::Request& request, httplib::Response& response) {
               const auto body = nlohmann::json::parse(request.body, nullptr, false);
               const bool frozen = body.is_object() && body.value("frozen", false);
               fake.set_frozen(frozen);
               FakeSnowflake::Impl::reply(response, Json{{"frozen", frozen}});
             });
}

}  // namespace fakes
