// OrvaneClient::from_env: the variables it reads and how it reports bad ones.
#include <gtest/gtest.h>

#include "orvane/sdk/main_client.hpp"
#include "platform/errors/errors.hpp"
#include "tests/orvane/sdk/catalogue_under_test.hpp"
#include "tests/support/expect_throw.hpp"

namespace {

using orvane::sdk::OrvaneClient;

TEST(OrvaneClientFromEnv, MissingServerUrlNamesTheVariable) {
  const platform::settings::Environment token_only{{"ORVANE_TOKEN", "secret-token"}};
  EXPECT_THROW_MSG(OrvaneClient::from_env(token_only), platform::ValidationError,
                   "1 validation error for OrvaneClient\nORVANE_SERVER_URL\n  Field required");
  const platform::settings::Environment empty_url{{"ORVANE_SERVER_URL", ""}};
  EXPECT_THROW_SUBSTR(OrvaneClient::from_env(empty_url), platform::ValidationError,
                      "ORVANE_SERVER_URL\n  Field required");
}

TEST(OrvaneClientFromEnv, BadValuesAreReportedTogetherWithoutEchoingTheUrl) {
  try {
    OrvaneClient::from_env(
        {{"ORVANE_SERVER_URL", "ftp://user:pw@host"}, {"ORVANE_TIMEOUT_SECONDS", "-3"}});
    FAIL() << "no error";
  } catch (const platform::ValidationError& error) {
    const std::string text = error.what();
    EXPECT_NE(text.find("2 validation errors for OrvaneClient"), std::string::npos) << text;
    EXPECT_NE(text.find("ORVANE_SERVER_URL\n  must start with http:// or https://"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("ORVANE_TIMEOUT_SECONDS"), std::string::npos) << text;
    EXPECT_EQ(text.find("pw@host"), std::string::npos) << text;
  }
}

TEST(OrvaneClientFromEnv, ReadsTheFakeCatalogueWithTheToken) {
  fakes::FakeCatalogue fake({.fixture_path = orvane_test::kFixture, .token = orvane_test::kToken});
  const OrvaneClient client = OrvaneClient::from_env({{"ORVANE_SERVER_URL", fake.url() + "/"},
                                                      {"ORVANE_TOKEN", orvane_test::kToken},
                                                      {"ORVANE_TIMEOUT_SECONDS", "2.5"}});
  const auto dataset = client.entities().get(
      orvane::metadata::urns::DatasetUrn::from_string(orvane_test::dataset_text("orders")));
  EXPECT_EQ(dataset.display_name, "Orders");
  EXPECT_EQ(fake.requests().at(0).header("Authorization"),
            "Bearer " + std::string(orvane_test::kToken));
}

}  // namespace
