// What a warehouse connection needs: where the account lives, who logs in and how, and the
// time limits of the exchange.
//
//   platform::snowflake::ConnectionOptions options;
//   options.account = "myorg-myacct";
//   options.user = "ANALYST";
//   options.authenticator = platform::snowflake::Authenticator::kKeyPair;
//   options.private_key_pem = pem_text;
//   auto connection = platform::snowflake::Connection::open(options);
//
// Plain data; the connection copies it. Secrets (password, private key, passphrase, tokens) are
// never logged or put into an error text.
#pragma once

#include <chrono>
#include <functional>
#include <string>

namespace platform::snowflake {

enum class Authenticator {
  kPassword,                 // user name and password
  kKeyPair,                  // user name and an RSA private key (a signed JWT)
  kOAuth,                    // an OAuth access token
  kProgrammaticAccessToken,  // a programmatic access token
};

struct ConnectionOptions {
  // Account identifier: "<org>-<account>", or an account locator with an optional region
  // ("xy12345.us-east-1").
  std::string account;
  std::string user;  // required for password and key pair; optional for the token kinds
  // Session context; empty means the user's default.
  std::string role;
  std::string warehouse;
  std::string database;
  std::string schema;

  Authenticator authenticator = Authenticator::kPassword;
  std::string password;
  std::string private_key_pem;         // PKCS#8 or PKCS#1 PEM, possibly encrypted
  std::string private_key_passphrase;  // for an encrypted private key
  std::string token;                   // the OAuth access token or programmatic access token

  // Where the account is reached. An empty host is derived from the account identifier
  // ("<account>.snowflakecomputing.com"); "http" is accepted for a loopback host only (local
  // tests), so that no secret travels in clear.
  std::string host;
  int port = 443;
  std::string protocol = "https";

  // Bound on the whole login, retries included.
  std::chrono::milliseconds login_timeout{std::chrono::seconds(60)};
  // Bound on each single HTTP exchange after login (queries are polled, so a long query is not
  // bounded by it).
  std::chrono::milliseconds request_timeout{std::chrono::seconds(90)};
  // Bound on one statement, from its submission (retries and their waits included) to its
  // result; the abort that follows takes at most 5 s more. A statement still running then is
  // aborted on the warehouse and fails with SnowflakeError, SQL state 57014.
  std::chrono::milliseconds statement_timeout{std::chrono::minutes(10)};
  // Retries of a login or query submission after a connection error, 408, 429 or 5xx answer.
  int max_retries = 7;
  // Waits between retries and polls; tests replace it to run without sleeping.
  std::function<void(std::chrono::milliseconds)> sleep;
};

}  // namespace platform::snowflake
