// The analyst endpoint: answers scripted responses, in order, to holders of a live session.
#include "tests/fakes/snowflake/fake_snowflake_impl.hpp"

namespace fakes {

void add_analyst_route(FakeSnowflake::Impl& fake) {
  fake.route("POST", "/api/v2/cortex/analyst/message",
             [&fake](const httplib::Request& request, httplib::Response& response) {
               std::lock_guard lock(fake.mutex);
               if (!fake.authorize(request, response)) {
                 response.status = 401;  // the analyst service refuses with 401, never 200
                 return;
               }
               if (fake.analyst_answers.empty()) {
                 FakeSnowflake::Impl::reply(
                     response,
                     Json{{"message", "the fake warehouse has no scripted analyst answer left"}},
                     500);
                 return;
               }
               auto [status, body] = std::move(fake.analyst_answers.front());
               fake.analyst_answers.pop_front();
               response.status = status;
               response.set_content(std::move(body), "application/json");
             });
}

}  // namespace fakes
