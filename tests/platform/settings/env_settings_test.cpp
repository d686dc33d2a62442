#include "platform/settings/env_settings.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>

#include "platform/errors/errors.hpp"
#include "tests/support/expect_throw.hpp"

namespace platform::settings {
namespace {

constexpr std::string_view kPrefix = "APP__";

TEST(EnvSettings, MatchesNamesWithoutRegardToCaseAndIgnoresOthers) {
  EnvSettings env("Config", std::string(kPrefix),
                  {{"app__user", "ada"},
                   {"APP__Role", "admin"},
                   {"APP__UNKNOWN", "x"},
                   {"OTHER_USER", "bob"},
                   {"APP__EMPTY", ""}});
  EXPECT_EQ(env.text("user"), "ada");
  EXPECT_EQ(env.text("ROLE"), "admin");
  EXPECT_EQ(env.text("empty"), std::nullopt);  // an empty variable counts as unset
  EXPECT_EQ(env.variable("user"), "APP__USER");
  env.finish();
}

TEST(EnvSettings, ReadsTypedValues) {
  EnvSettings env("Config", std::string(kPrefix),
                  {{"APP__PORT", " 8443 "},
                   {"APP__TIMEOUT", "2.5"},
                   {"APP__FLAG", "Yes"},
                   {"APP__MODE", "Http"}});
  constexpr std::array<std::string_view, 2> kModes{"https", "http"};
  EXPECT_EQ(env.integer("port", 1, 65535), 8443);
  EXPECT_EQ(env.positive_seconds("timeout"), 2.5);
  EXPECT_EQ(env.boolean("flag"), true);
  EXPECT_EQ(env.choice("mode", kModes), "http");
  EXPECT_EQ(env.integer("missing", 1, 2), std::nullopt);
  env.finish();
}

TEST(EnvSettings, GathersEveryProblemInOneError) {
  EnvSettings env("Config", std::string(kPrefix),
                  {{"APP__PORT", "70000"},
                   {"APP__TIMEOUT", "-1"},
                   {"APP__FLAG", "maybe"},
                   {"APP__COUNT", "12abc"}});
  constexpr std::array<std::string_view, 1> kModes{"https"};
  env.required_text("user");
  env.integer("port", 1, 65535);
  env.integer("count", 0, 100);
  env.positive_seconds("timeout");
  env.boolean("flag");
  env.add_problem("password", "Field required when authentication_type is 'PASSWORD'");
  EXPECT_EQ(env.choice("mode", kModes), std::nullopt);  // unset: no problem
  EXPECT_THROW_MSG(env.finish(), platform::ValidationError,
                   "6 validation errors for Config\n"
                   "APP__USER\n  Field required\n"
                   "APP__PORT\n  Input should be between 1 and 65535, got 70000\n"
                   "APP__COUNT\n  Input should be a valid integer, got '12abc'\n"
                   "APP__TIMEOUT\n  Input should be a number of seconds greater than 0, got '-1'\n"
                   "APP__FLAG\n  Input should be a valid boolean, got 'maybe'\n"
                   "APP__PASSWORD\n  Field required when authentication_type is 'PASSWORD'");
}

TEST(EnvSettings, RejectsTwoSpellingsWithDifferentValuesWithoutEchoingThem) {
  EnvSettings same("Config", std::string(kPrefix),
                   {{"APP__PASSWORD", "s3cret"}, {"app__password", "s3cret"}});
  EXPECT_EQ(same.text("password"), "s3cret");
  same.finish();

  EnvSettings differing("Config", std::string(kPrefix),
                        {{"APP__PASSWORD", "s3cret"}, {"app__password", "other"}});
  try {
    differing.finish();
    FAIL() << "expected a ValidationError";
  } catch (const platform::ValidationError& error) {
    const std::string message = error.what();
    EXPECT_NE(message.find("APP__PASSWORD"), std::string::npos);
    EXPECT_EQ(message.find("s3cret"), std::string::npos);
    EXPECT_EQ(message.find("other"), std::string::npos);
  }
}

TEST(EnvSettings, ReadsTheProcessEnvironment) {
  ::setenv("OSA_SETTINGS_TEST__VALUE", "from-process", 1);
  EnvSettings env("Config", "osa_settings_test__", process_environment());
  EXPECT_EQ(env.text("value"), "from-process");
  ::unsetenv("OSA_SETTINGS_TEST__VALUE");
}

}  // namespace
}  // namespace platform::settings
