// A fake warehouse over TLS with a CA of its own (or over plain HTTP when a test asks), and
// connection options pointing at it that record waits instead of sleeping; with
// ConnectedWarehouseTest, a connection open to it for the whole test.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <vector>

#include "platform/snowflake/connection.hpp"
#include "platform/snowflake/connection_options.hpp"
#include "tests/fakes/snowflake/fake_snowflake.hpp"
#include "tests/support/paths.hpp"

namespace osa_test {

class FakeWarehouseTest : public ::testing::Test {
 protected:
  // Starts the fake; call again with other options to replace it.
  void start(fakes::FakeSnowflakeOptions options = {}) {
    fake_.reset();
    options.tls_dir = (scratch_.path() / "tls").string();
    options.sqlite_path = (scratch_.path() / "warehouse.sqlite").string();
    fake_ = std::make_unique<fakes::FakeSnowflake>(std::move(options));
    ::setenv("SSL_CERT_FILE", fake_->ca_file().c_str(), 1);
  }
  void SetUp() override { start(); }
  void TearDown() override {
    fake_.reset();
    ::unsetenv("SSL_CERT_FILE");
  }

  platform::snowflake::ConnectionOptions options() {
    platform::snowflake::ConnectionOptions result;
    result.account = "fakeacct";
    result.user = "tester";
    result.password = "secret";
    result.host = "127.0.0.1";
    result.port = fake_->port();
    result.protocol = fake_->ca_file().empty() ? "http" : "https";
    result.login_timeout = std::chrono::seconds(20);
    result.request_timeout = std::chrono::seconds(20);
    result.sleep = [this](std::chrono::milliseconds delay) { waits_.push_back(delay); };
    return result;
  }

  // The recorded requests whose path starts with `prefix`.
  std::vector<fakes::RecordedRequest> requests_to(const std::string& prefix) const {
    std::vector<fakes::RecordedRequest> found;
    for (auto& request : fake_->requests()) {
      if (request.path.starts_with(prefix)) found.push_back(request);
    }
    return found;
  }

  ScratchDir scratch_;
  std::unique_ptr<fakes::FakeSnowflake> fake_;
  std::vector<std::chrono::milliseconds> waits_;
};

class ConnectedWarehouseTest : public FakeWarehouseTest {
 protected:
  void SetUp() override {
    FakeWarehouseTest::SetUp();
    connection_ = platform::snowflake::Connection::open(options());
  }
  void TearDown() override {
    connection_.reset();
    FakeWarehouseTest::TearDown();
  }

  std::unique_ptr<platform::snowflake::Connection> connection_;
};

}  // namespace osa_test
