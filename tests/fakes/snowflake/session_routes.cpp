// Login, token renewal, heartbeat, telemetry and close.
#include "platform/text/ascii_case.hpp"
#include "tests/fakes/snowflake/fake_snowflake_impl.hpp"
#include "tests/fakes/snowflake/jwt_verifier.hpp"

namespace fakes {
namespace {

constexpr int kSessionValiditySeconds = 3600;
constexpr int kMasterValiditySeconds = 14400;

struct Refusal {
  const char* code;
  std::string message;
};

// User names are case-insensitive in the warehouse.
bool same_user(const std::string& left, const std::string& right) {
  return platform::text::equals_ignore_case(left, right);
}

// Why the login body's credentials are refused, or nullopt when they are good.
std::optional<Refusal> login_refusal(const FakeSnowflakeOptions& options, const Json& data) {
  const std::string authenticator = data.value("AUTHENTICATOR", "SNOWFLAKE");
  const std::string login_name = data.value("LOGIN_NAME", "");
  const std::string token = data.value("TOKEN", "");
  const Refusal bad_password{"390100", "Incorrect username or password was specified."};
  if (authenticator == "SNOWFLAKE") {
    const bool good =
        same_user(login_name, options.user) && data.value("PASSWORD", "") == options.password;
    return good ? std::nullopt : std::optional(bad_password);
  }
  if (authenticator == "SNOWFLAKE_JWT") {
    const auto problem =
        warehouse::login_jwt_problem(token, options.public_key_pem, data.value("ACCOUNT_NAME", ""),
                                     login_name, std::chrono::system_clock::now());
    if (!problem && same_user(login_name, options.user)) return std::nullopt;
    return Refusal{"390144", "JWT token is invalid."};
  }
  if (authenticator == "OAUTH") {
    const bool good = !options.oauth_token.empty() && token == options.oauth_token;
    return good ? std::nullopt : std::optional(Refusal{"390303", "Invalid OAuth access token. "});
  }
  if (authenticator == "PROGRAMMATIC_ACCESS_TOKEN") {
    const bool good =
        !options.programmatic_access_token.empty() && token == options.programmatic_access_token;
    return good ? std::nullopt : std::optional(bad_password);
  }
  return Refusal{"390100",
                 "The authenticator " + authenticator + " is not supported by the fake warehouse."};
}

Json token_data(const WarehouseSession& session) {
  return Json{{"token", session.session_token},
              {"validityInSeconds", kSessionValiditySeconds},
              {"masterToken", session.master_token},
              {"masterValidityInSeconds", kMasterValiditySeconds},
              {"sessionId", session.id}};
}

void login(FakeSnowflake::Impl& fake, const httplib::Request& request,
           httplib::Response& response) {
  const Json body = Json::parse(FakeSnowflake::Impl::body_of(request), nullptr, false);
  const Json data = body.is_object() && body.contains("data") && body["data"].is_object()
                        ? body["data"]
                        : Json::object();
  if (const auto refusal = login_refusal(fake.options, data)) {
    FakeSnowflake::Impl::reply(
        response, FakeSnowflake::Impl::envelope(nullptr, refusal->code, refusal->message));
    return;
  }
  std::lock_guard lock(fake.mutex);
  WarehouseSession session;
  session.id = static_cast<std::int64_t>(1000000 + fake.sessions.size());
  session.session_token = fake.new_token("session");
  session.master_token = fake.new_token("master");
  session.session_issued = session.master_issued = std::chrono::steady_clock::now();
  session.database = request.get_param_value("databaseName");
  session.schema = request.get_param_value("schemaName");
  session.warehouse = request.get_param_value("warehouse");
  session.role = request.get_param_value("roleName");
  Json answer = token_data(session);
  answer["parameters"] = FakeSnowflake::Impl::session_parameters();
  answer["sessionInfo"] = Json{{"databaseName", session.database},
                               {"schemaName", session.schema},
                               {"warehouseName", session.warehouse},
                               {"roleName", session.role}};
  answer["idToken"] = nullptr;
  answer["mfaToken"] = nullptr;
  answer["serverVersion"] = "fake-1.0";
  answer["displayUserName"] = data.value("LOGIN_NAME", fake.options.user);
  answer["healthCheckInterval"] = 45;
  answer["firstLogin"] = false;
  fake.sessions.push_back(std::move(session));
  FakeSnowflake::Impl::reply(response, FakeSnowflake::Impl::envelope(std::move(answer)));
}

void renew(FakeSnowflake::Impl& fake, const httplib::Request& request,
           httplib::Response& response) {
  const Json body = Json::parse(FakeSnowflake::Impl::body_of(request), nullptr, false);
  std::lock_guard lock(fake.mutex);
  WarehouseSession* session = fake.authorize(request, response, /*master=*/true);
  if (!session) return;
  if (!body.is_object() || body.value("requestType", "") != "RENEW") {
    FakeSnowflake::Impl::reply(
        response, FakeSnowflake::Impl::envelope(nullptr, "390100", "Unsupported token request."));
    return;
  }
  session->session_token = fake.new_token("session");
  session->session_expired = false;
  session->session_issued = std::chrono::steady_clock::now();
  Json data{{"sessionToken", session->session_token},
            {"validityInSecondsST", kSessionValiditySeconds},
            {"masterToken", session->master_token},
            {"validityInSecondsMT", kMasterValiditySeconds},
            {"sessionId", session->id}};
  if (fake.renewal_without_token) data.erase("sessionToken");
  FakeSnowflake::Impl::reply(response, FakeSnowflake::Impl::envelope(data));
}

}  // namespace

void add_session_routes(FakeSnowflake::Impl& fake) {
  fake.route("POST", "/session/v1/login-request",
             [&fake](const httplib::Request& request, httplib::Response& response) {
               login(fake, request, response);
             });
  fake.route("POST", "/session/token-request",
             [&fake](const httplib::Request& request, httplib::Response& response) {
               renew(fake, request, response);
             });
  fake.route("POST", "/session/heartbeat",
             [&fake](const httplib::Request& request, httplib::Response& response) {
               std::lock_guard lock(fake.mutex);
               if (fake.authorize(request, response)) {
                 FakeSnowflake::Impl::reply(response, FakeSnowflake::Impl::envelope(nullptr));
               }
             });
  fake.route("POST", "/telemetry/send", [](const httplib::Request&, httplib::Response& response) {
    FakeSnowflake::Impl::reply(response, FakeSnowflake::Impl::envelope(nullptr));
  });
  fake.route(
      "POST", "/session", [&fake](const httplib::Request& request, httplib::Response& response) {
        std::lock_guard lock(fake.mutex);
        WarehouseSession* session = fake.authorize(request, response);
        if (!session) return;
        if (request.get_param_value("delete") != "true") {
          FakeSnowflake::Impl::reply(
              response,
              FakeSnowflake::Impl::envelope(nullptr, "390100", "Unsupported session request."));
          return;
        }
        session->closed = true;
        FakeSnowflake::Impl::reply(response, FakeSnowflake::Impl::envelope(nullptr));
      });
}

}  // namespace fakes
