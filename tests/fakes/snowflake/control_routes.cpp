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
  fake.route("POST", "/__fake__/analyst-answers",
             [&fake](const httplib::Request& request, httplib::Response& response) {
               auto answers =
                   analyst_answers_of(nlohmann::json::parse(request.body, nullptr, false));
               std::lock_guard lock(fake.mutex);
               for (auto& answer : answers) fake.analyst_answers.push_back(std::move(answer));
               FakeSnowflake::Impl::reply(
                   response, Json{{"analyst_answers_left", fake.analyst_answers.size()}});
             });
}

}  // namespace fakes
