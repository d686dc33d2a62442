#include "orvane/ingestion/snowflake_connection.hpp"

#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>
#include <fstream>
#include <regex>
#include <sstream>

#include "platform/errors/errors.hpp"
#include "platform/text/ascii_case.hpp"

namespace orvane::ingestion {
namespace {

using platform::snowflake::Authenticator;

constexpr std::array<std::string_view, 4> kAuthenticationTypes = {"PASSWORD", "KEY_PAIR", "OAUTH",
                                                                  "PROGRAMMATIC_ACCESS_TOKEN"};
constexpr std::array<std::string_view, 2> kProtocols = {"https", "http"};

bool missing(const std::optional<std::string>& value) { return !value || value->empty(); }

// A PEM key pasted into a one-line variable often carries "\n" as two characters.
std::string with_real_newlines(std::string pem) {
  if (pem.find('\n') != std::string::npos) return pem;
  std::string result;
  for (size_t i = 0; i < pem.size(); ++i) {
    if (pem[i] == '\\' && i + 1 < pem.size() && pem[i + 1] == 'n') {
      result += '\n';
      ++i;
    } else {
      result += pem[i];
    }
  }
  return result;
}

// Capped at some 30 years, so that a deadline computed from it cannot overflow the clock.
std::chrono::milliseconds to_millis(double seconds) {
  return std::chrono::milliseconds(static_cast<long long>(std::min(seconds, 1e9) * 1000));
}

}  // namespace

void SnowflakeConnectionConfig::read_settings(platform::settings::EnvSettings& settings) {
  account_id = settings.required_text("account_id");
  // Checked with the other fields in problems(), so a wrong type is not also reported as the
  // missing password of the default type.
  if (auto value = settings.text("authentication_type")) {
    authentication_type = platform::text::to_ascii_upper(*value);
  }
  const auto text = [&](std::optional<std::string>& field, std::string_view name) {
    if (auto value = settings.text(name)) field = std::move(value);
  };
  text(username, "username");
  text(password, "password");
  text(private_key, "private_key");
  text(private_key_path, "private_key_path");
  text(private_key_password, "private_key_password");
  text(oauth_token, "oauth_token");
  text(programmatic_access_token, "programmatic_access_token");
  text(role, "role");
  text(warehouse, "warehouse");
  text(database, "database");
  text(schema, "schema");
  text(host, "host");
  if (auto value = settings.integer("port", 1, 65535)) port = static_cast<int>(*value);
  if (auto value = settings.choice("protocol", kProtocols)) protocol = *value;
  if (auto value = settings.positive_seconds("login_timeout")) login_timeout = *value;
  if (auto value = settings.positive_seconds("request_timeout")) request_timeout = *value;
  if (auto value = settings.positive_seconds("statement_timeout")) statement_timeout = *value;
  // A missing account id was reported above already.
  for (auto& [field, reason] : problems()) {
    if (field != "account_id" || !account_id.empty()) settings.add_problem(field, reason);
  }
}

std::vector<std::pair<std::string, std::string>> SnowflakeConnectionConfig::problems() const {
  std::vector<std::pair<std::string, std::string>> found;
  static const std::regex kAccountPattern(R"(^\w+([.-]\w+)*$)");
  if (account_id.empty()) {
    found.emplace_back("account_id", "Field required");
  } else if (!std::regex_match(account_id, kAccountPattern)) {
    found.emplace_back("account_id",
                       "Should be an account identifier such as 'myorg-myaccount' or "
                       "'xy12345.us-east-1', got '" +
                           account_id + "'");
  }
  const std::string required_for = " when authentication_type is '" + authentication_type + "'";
  if (authentication_type == "PASSWORD" || authentication_type == "KEY_PAIR") {
    if (missing(username)) found.emplace_back("username", "Field required" + required_for);
  }
  if (authentication_type == "PASSWORD" && missing(password)) {
    found.emplace_back("password", "Field required" + required_for);
  } else if (authentication_type == "KEY_PAIR") {
    if (missing(private_key) && missing(private_key_path)) {
      found.emplace_back("private_key", "Field required (or private_key_path)" + required_for);
    } else if (!missing(private_key) && !missing(private_key_path)) {
      found.emplace_back("private_key_path", "Give private_key or private_key_path, not both");
    }
  } else if (authentication_type == "OAUTH" && missing(oauth_token)) {
    found.emplace_back("oauth_token", "Field required" + required_for);
  } else if (authentication_type == "PROGRAMMATIC_ACCESS_TOKEN" &&
             missing(programmatic_access_token)) {
    found.emplace_back("programmatic_access_token", "Field required" + required_for);
  } else if (std::find(kAuthenticationTypes.begin(), kAuthenticationTypes.end(),
                       authentication_type) == kAuthenticationTypes.end()) {
    found.emplace_back("authentication_type",
                       "Input should be one of 'PASSWORD', 'KEY_PAIR', 'OAUTH', "
                       "'PROGRAMMATIC_ACCESS_TOKEN', got '" +
                           authentication_type + "'");
  }
  if (auto refusal = platform::snowflake::protocol_refusal(
          protocol, platform::snowflake::account_host_name(
                        {.account = account_id, .host = host.value_or("")}))) {
    found.emplace_back("protocol", *refusal);
  }
  if (port < 1 || port > 65535) found.emplace_back("port", "Input should be between 1 and 65535");
  if (!(login_timeout > 0)) found.emplace_back("login_timeout", "Input should be greater than 0");
  if (!(request_timeout > 0)) {
    found.emplace_back("request_timeout", "Input should be greater than 0");
  }
  if (!(statement_timeout > 0)) {
    found.emplace_back("statement_timeout", "Input should be greater than 0");
  }
  return found;
}

platform::snowflake::ConnectionOptions SnowflakeConnectionConfig::connection_options() const {
  platform::snowflake::ConnectionOptions options;
  options.account = account_id;
  options.user = username.value_or("");
  options.role = role.value_or("");
  options.warehouse = warehouse.value_or("");
  options.database = database.value_or("");
  options.schema = schema.value_or("");
  options.host = host.value_or("");
  options.port = port;
  options.protocol = protocol;
  options.login_timeout = to_millis(login_timeout);
  options.request_timeout = to_millis(request_timeout);
  options.statement_timeout = to_millis(statement_timeout);
  if (authentication_type == "KEY_PAIR") {
    options.authenticator = Authenticator::kKeyPair;
    if (!missing(private_key)) {
      options.private_key_pem = with_real_newlines(*private_key);
    } else {
      std::ifstream file(*private_key_path, std::ios::binary);
      std::ostringstream content;
      content << file.rdbuf();
      if (!file) {
        throw platform::ValueError("Could not read the private key file " + *private_key_path);
      }
      options.private_key_pem = content.str();
    }
    options.private_key_passphrase = private_key_password.value_or("");
  } else if (authentication_type == "OAUTH") {
    options.authenticator = Authenticator::kOAuth;
    options.token = oauth_token.value_or("");
  } else if (authentication_type == "PROGRAMMATIC_ACCESS_TOKEN") {
    options.authenticator = Authenticator::kProgrammaticAccessToken;
    options.token = programmatic_access_token.value_or("");
  } else {
    options.authenticator = Authenticator::kPassword;
    options.password = password.value_or("");
  }
  return options;
}

std::unique_ptr<platform::snowflake::Connection> SnowflakeConnectionConfig::get_native_connection()
    const {
  const auto found = problems();
  if (!found.empty()) {
    std::string message = std::to_string(found.size()) +
                          (found.size() == 1 ? " validation error" : " validation errors") +
                          " for SnowflakeConnectionConfig";
    for (const auto& [field, reason] : found) message += "\n" + field + "\n  " + reason;
    throw platform::ValidationError(message);
  }
  return platform::snowflake::Connection::open(connection_options());
}

}  // namespace orvane::ingestion
