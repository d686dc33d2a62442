// `SnowflakeConnectionConfig`: the warehouse connection settings, and the way from them to an
// open connection.
//
//   platform::settings::EnvSettings env("Config", "SNOWFLAKE__CONNECTION__",
//                                       platform::settings::process_environment());
//   orvane::ingestion::SnowflakeConnectionConfig config;
//   config.read_settings(env);
//   env.finish();                                       // every problem at once
//   auto connection = config.get_native_connection();  // closes when it goes away
//
// Fields, each read from the prefix and the field name (matched without regard to case):
//   account_id                 required; "<org>-<account>" or "<locator>[.<region>]"
//   authentication_type        PASSWORD (default), KEY_PAIR, OAUTH or PROGRAMMATIC_ACCESS_TOKEN
//   username                   required for PASSWORD and KEY_PAIR
//   password                   required for PASSWORD
//   private_key                KEY_PAIR: PEM text ("\n" written as two characters is accepted)
//   private_key_path           KEY_PAIR: a PEM file instead; exactly one of the two
//   private_key_password       passphrase of an encrypted private key
//   oauth_token                required for OAUTH
//   programmatic_access_token  required for PROGRAMMATIC_ACCESS_TOKEN
//   role, warehouse, database, schema    session context; unset means the user's default
//   host                       host name instead of "<account>.snowflakecomputing.com"
//   port                       443 by default
//   protocol                   https (default), or http for a local test server on a
//                              loopback host (localhost, 127.0.0.0/8, ::1); refused otherwise
//   login_timeout              seconds, 60 by default
//   request_timeout            seconds per HTTP exchange, 90 by default
//   statement_timeout          seconds a statement may take, its submission, retries and
//                              polls included, 600 by default; it is then aborted and fails
//
// Secrets are never put into an error text. Not thread-safe to change; safe to read from any
// thread.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/settings/env_settings.hpp"
#include "platform/snowflake/connection.hpp"

namespace orvane::ingestion {

struct SnowflakeConnectionConfig {
  std::string account_id;
  std::string authentication_type = "PASSWORD";
  std::optional<std::string> username;
  std::optional<std::string> password;
  std::optional<std::string> private_key;
  std::optional<std::string> private_key_path;
  std::optional<std::string> private_key_password;
  std::optional<std::string> oauth_token;
  std::optional<std::string> programmatic_access_token;
  std::optional<std::string> role;
  std::optional<std::string> warehouse;
  std::optional<std::string> database;
  std::optional<std::string> schema;
  std::optional<std::string> host;
  int port = 443;
  std::string protocol = "https";
  double login_timeout = 60;
  double request_timeout = 90;
  double statement_timeout = 600;

  friend bool operator==(const SnowflakeConnectionConfig&,
                         const SnowflakeConnectionConfig&) = default;

  // Fills every field that the settings hold and records every problem, including those of
  // `problems()`, in `settings`; `settings.finish()` then reports them.
  void read_settings(platform::settings::EnvSettings& settings);

  // What keeps these settings from making a connection, as (field, reason) pairs.
  std::vector<std::pair<std::string, std::string>> problems() const;

  // Opens (logs in to) a connection. Throws platform::ValidationError when `problems()` is not
  // empty, platform::ValueError for a private key that cannot be read, and
  // platform::snowflake::SnowflakeError when login fails.
  std::unique_ptr<platform::snowflake::Connection> get_native_connection() const;

  // The connector's options for these settings (the private key read from its file).
  platform::snowflake::ConnectionOptions connection_options() const;
};

}  // namespace orvane::ingestion
