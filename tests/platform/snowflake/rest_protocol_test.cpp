// Wire details against a scripted server: polling, chunk downloads, the renewal exchange,
// unreachable hosts. (The fake warehouse covers whole sessions.)
#include <gtest/gtest.h>
#include <zlib.h>

#include <atomic>
#include <fstream>
#include <mutex>
#include <numeric>

#include <nlohmann/json.hpp>

#include "platform/errors/errors.hpp"
#include "platform/snowflake/connection.hpp"
#include "platform/snowflake/internal/chunk_download.hpp"
#include "platform/snowflake/snowflake_error.hpp"
#include "tests/fakes/common/loopback_server.hpp"
#include "tests/support/expect_throw.hpp"
#include "tests/support/paths.hpp"

namespace platform::snowflake {
namespace {

using nlohmann::json;

std::string gzip(const std::string& text) {
  z_stream stream{};
  deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&stream, text.size()) + 32, '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  stream.avail_in = static_cast<uInt>(text.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  deflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return out;
}

json envelope(json data, bool success = true, json code = nullptr) {
  return {{"data", std::move(data)},
          {"code", std::move(code)},
          {"message", nullptr},
          {"success", success}};
}

json one_int_result(const std::string& value) {
  return {{"rowtype", {{{"name", "N"}, {"type", "fixed"}, {"scale", 0}}}},
          {"rowset", {{value}}},
          {"queryId", "q-1"},
          {"queryResultFormat", "json"}};
}

void reply(httplib::Response& response, const json& body) {
  response.set_content(body.dump(), "application/json");
}

// A warehouse whose query answers each test scripts; login hands out "S1"/"M1".
class ScriptedWarehouseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    server_.Post("/session/v1/login-request", [](const httplib::Request&, httplib::Response& res) {
      reply(res, envelope({{"token", "S1"}, {"masterToken", "M1"}}));
    });
    server_.Post("/session", [](const httplib::Request&, httplib::Response& res) {
      reply(res, envelope(nullptr));
    });
    running_ = std::make_unique<fakes::LoopbackServer>(server_);
  }
  void TearDown() override {
    connection_.reset();
    running_.reset();
  }

  Connection& connect() {
    ConnectionOptions options;
    options.account = "acct";
    options.user = "u";
    options.password = "p";
    options.host = "127.0.0.1";
    options.port = running_->port();
    options.protocol = "http";
    options.sleep = [this](std::chrono::milliseconds delay) { waits_.push_back(delay); };
    connection_ = Connection::open(options);
    return *connection_;
  }

  httplib::Server server_;
  std::unique_ptr<fakes::LoopbackServer> running_;
  std::unique_ptr<Connection> connection_;
  std::vector<std::chrono::milliseconds> waits_;
};

TEST_F(ScriptedWarehouseTest, PollsARunningStatementUntilItsResultIsReady) {
  std::atomic<int> polls = 0;
  server_.Post("/queries/v1/query-request", [](const httplib::Request&, httplib::Response& res) {
    reply(res,
          envelope({{"queryId", "q-1"}, {"getResultUrl", "/queries/q-1/result"}}, false, "333333"));
  });
  server_.Get("/queries/q-1/result", [&](const httplib::Request& req, httplib::Response& res) {
    EXPECT_EQ(req.get_header_value("Authorization"), "Snowflake Token=\"S1\"");
    if (++polls < 3) {
      reply(res, envelope({{"queryId", "q-1"}, {"getResultUrl", "/queries/q-1/result"}}, false,
                          "333334"));
    } else {
      reply(res, envelope(one_int_result("42")));
    }
  });
  EXPECT_EQ(connect().execute("SELECT slow()").rows.at(0).at(0), Value(42));
  EXPECT_EQ(polls, 3);
  // Waits of 50, 100 and 200 ms between the polls.
  EXPECT_EQ(std::accumulate(waits_.begin(), waits_.end(), std::chrono::milliseconds(0)),
            std::chrono::milliseconds(350));
}

TEST_F(ScriptedWarehouseTest, NeverSendsTheTokenToAResultAddressOffItsHost) {
  server_.Post("/queries/v1/query-request", [](const httplib::Request&, httplib::Response& res) {
    reply(res,
          envelope({{"queryId", "q-1"}, {"getResultUrl", "@127.0.0.2/steal"}}, false, "333333"));
  });
  EXPECT_THROW_MSG(connect().execute("SELECT slow()"), SnowflakeError,
                   "(08001): The warehouse handed back an address that is not a path on its host");
}

TEST_F(ScriptedWarehouseTest, DownloadsChunksWithTheirHeadersCompressedOrNot) {
  std::mutex mutex;
  std::vector<std::string> chunk_header_values;
  server_.Post("/queries/v1/query-request", [&](const httplib::Request&, httplib::Response& res) {
    const std::string base = "http://127.0.0.1:" + std::to_string(running_->port());
    json data = one_int_result("1");
    data["chunks"] = {{{"url", base + "/chunk/0"}, {"rowCount", 2}},
                      {{"url", base + "/chunk/1"}, {"rowCount", 1}}};
    data["chunkHeaders"] = {{"x-chunk-key", "k"}};
    reply(res, envelope(data));
  });
  server_.Get(R"(/chunk/(\d))", [&](const httplib::Request& req, httplib::Response& res) {
    {
      std::lock_guard lock(mutex);
      chunk_header_values.push_back(req.get_header_value("x-chunk-key"));
    }
    if (req.matches[1] == "0") {
      // Compressed, but said nowhere: the client must notice the gzip bytes itself.
      res.set_content(gzip(R"(["2"],["3"])"), "application/octet-stream");
    } else {
      res.set_content(gzip(R"(["4"])"), "application/json");
      res.set_header("Content-Encoding", "gzip");
    }
  });
  const QueryResult result = connect().execute("SELECT n");
  ASSERT_EQ(result.rows.size(), 4u);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(result.rows[static_cast<size_t>(i)][0], Value(i + 1));
  EXPECT_EQ(chunk_header_values, (std::vector<std::string>{"k", "k"}));
}

TEST_F(ScriptedWarehouseTest, AChunkWithFewerRowsThanAnnouncedFails) {
  server_.Post("/queries/v1/query-request", [&](const httplib::Request&, httplib::Response& res) {
    json data = one_int_result("1");
    data["chunks"] = {{{"url", "http://127.0.0.1:" + std::to_string(running_->port()) + "/chunk"},
                       {"rowCount", 5}}};
    reply(res, envelope(data));
  });
  server_.Get("/chunk", [](const httplib::Request&, httplib::Response& res) {
    res.set_content(R"(["2"])", "application/json");
  });
  EXPECT_THROW_MSG(connect().execute("SELECT n"), SnowflakeError,
                   "q-1: Could not download result chunk 1 of 1: expected 5 rows, got 1");
}

TEST(ChunkDecoding, InflatesRowsWithinTheLimitOnly) {
  using internal::decode_chunk_rows;
  EXPECT_EQ(decode_chunk_rows(R"(["1"],["2"])", 11).size(), 2u);
  EXPECT_EQ(decode_chunk_rows(gzip(R"(["1"],["2"])"), 11).size(), 2u);
  EXPECT_EQ(decode_chunk_rows("", 0).size(), 0u);
  EXPECT_THROW_MSG(decode_chunk_rows(R"(["1"],["2"])", 10), SnowflakeError,
                   "A result chunk holds more than 10 bytes, its limit (the announced size and "
                   "slack)");
  // A gzip bomb: 64 MiB of zeros in some 64 kB, stopped at the limit.
  const std::string bomb = gzip(std::string(std::size_t{64} << 20, '0'));
  ASSERT_LT(bomb.size(), std::size_t{1} << 20);
  EXPECT_THROW_SUBSTR(decode_chunk_rows(bomb, std::size_t{1} << 20), SnowflakeError,
                      "A result chunk holds more than 1048576 bytes");
  EXPECT_THROW_MSG(decode_chunk_rows(gzip("[1]").substr(0, 8), 100), SnowflakeError,
                   "A result chunk holds damaged gzip data");
  EXPECT_THROW_MSG(decode_chunk_rows("[1", 100), SnowflakeError, "the chunk is not JSON rows");
  EXPECT_THROW_MSG(decode_chunk_rows(std::string(1000, '[') + std::string(1000, ']'), 10000),
                   platform::ValueError,
                   "A result chunk nests arrays and objects deeper than 256 levels");
}

TEST_F(ScriptedWarehouseTest, AChunkLargerThanAnnouncedFails) {
  server_.Post("/queries/v1/query-request", [&](const httplib::Request&, httplib::Response& res) {
    json data = one_int_result("1");
    data["chunks"] = {{{"url", "http://127.0.0.1:" + std::to_string(running_->port()) + "/chunk"},
                       {"rowCount", 1},
                       {"uncompressedSize", 5}}};
    reply(res, envelope(data));
  });
  // Compressed without saying so, and decoded by libcurl: both stop at the announced size + slack.
  const std::string rows = R"(["2"],)" + std::string(2u << 20, ' ') + R"(["3"])";
  bool announce_encoding = false;
  server_.Get("/chunk", [&](const httplib::Request&, httplib::Response& res) {
    res.set_content(gzip(rows), "application/octet-stream");
    if (announce_encoding) res.set_header("Content-Encoding", "gzip");
  });
  Connection& connection = connect();
  EXPECT_THROW_SUBSTR(connection.execute("SELECT n"), SnowflakeError,
                      "Could not download result chunk 1 of 1: A result chunk holds more than " +
                          std::to_string(5 + internal::kChunkSizeSlackBytes) + " bytes");
  announce_encoding = true;
  EXPECT_THROW_SUBSTR(connection.execute("SELECT n"), SnowflakeError,
                      "Could not download result chunk 1 of 1: the answer is larger than the "
                      "limit of " +
                          std::to_string(5 + internal::kChunkSizeSlackBytes) + " bytes");
}

TEST_F(ScriptedWarehouseTest, AnEnvelopeNestedTooDeeplyIsRefused) {
  server_.Post("/queries/v1/query-request", [&](const httplib::Request&, httplib::Response& res) {
    res.set_content(
        R"({"success": true, "data": )" + std::string(100000, '[') + std::string(100000, ']') + "}",
        "application/json");
  });
  EXPECT_THROW_MSG(connect().execute("SELECT n"), platform::ValueError,
                   "The warehouse's answer to POST /queries/v1/query-request nests arrays and "
                   "objects deeper than 256 levels");
}

TEST_F(ScriptedWarehouseTest, FetchesChunksOnlyOverHttpsOrLoopbackHttp) {
  std::string chunk_url;
  server_.Post("/queries/v1/query-request", [&](const httplib::Request&, httplib::Response& res) {
    json data = one_int_result("1");
    data["chunks"] = {{{"url", chunk_url}, {"rowCount", 1}}};
    reply(res, envelope(data));
  });
  Connection& connection = connect();
  for (const auto& [url, reason] : std::vector<std::pair<std::string, std::string>>{
           {"http://storage.example.com/chunk?sig=secret",
            "plain http to storage.example.com is refused"},
           {"file:///etc/passwd", "only http and https URLs are fetched, not file:"},
           {"", "the URL is empty"},
           {"http://[bad", "the URL is malformed"}}) {
    SCOPED_TRACE(url);
    chunk_url = url;
    waits_.clear();
    EXPECT_THROW_SUBSTR(connection.execute("SELECT n"), SnowflakeError,
                        "Could not download result chunk 1 of 1: " + reason);
    EXPECT_TRUE(waits_.empty());  // refused at once, never retried
  }
}

TEST(WarehouseOptions, RefusePlainHttpToAHostThatIsNotLoopback) {
  ConnectionOptions options;
  options.account = "acct";
  options.user = "u";
  options.password = "very-secret-password";
  options.protocol = "http";
  options.port = 80;
  for (const std::string host : {"", "acct.example.com"}) {
    options.host = host;
    EXPECT_THROW_SUBSTR(Connection::open(options), platform::ValueError,
                        "Warehouse connection option protocol: Input should be 'https'");
  }
  options.protocol = "ftp";
  EXPECT_THROW_SUBSTR(Connection::open(options), platform::ValueError,
                      "Input should be 'https' or 'http'");
}

TEST(WarehouseOptions, TheRefusalShowsTheHostWithoutUserInformation) {
  ConnectionOptions options;
  options.account = "acct";
  options.user = "u";
  options.password = "p";
  options.protocol = "http";
  options.host = "u:pw-in-host@acct.example.com";
  EXPECT_THROW_MSG(Connection::open(options), platform::ValueError,
                   "Warehouse connection option protocol: Input should be 'https'; 'http' is "
                   "accepted only for a loopback host (localhost, 127.0.0.1, ::1), since passwords "
                   "and tokens would travel in clear to acct.example.com");
}

TEST_F(ScriptedWarehouseTest, RenewsWithTheMasterTokenAndReplaysWithTheSameRequestId) {
  std::mutex mutex;
  std::vector<std::pair<std::string, std::string>> submissions;  // requestId, token
  server_.Post("/queries/v1/query-request",
               [&](const httplib::Request& req, httplib::Response& res) {
                 const std::string token = req.get_header_value("Authorization");
                 {
                   std::lock_guard lock(mutex);
                   submissions.emplace_back(req.get_param_value("requestId"), token);
                 }
                 if (token == "Snowflake Token=\"S1\"") {
                   reply(res, envelope(nullptr, false, "390112"));
                 } else {
                   reply(res, envelope(one_int_result("5")));
                 }
               });
  server_.Post("/session/token-request", [](const httplib::Request& req, httplib::Response& res) {
    EXPECT_EQ(req.get_header_value("Authorization"), "Snowflake Token=\"M1\"");
    EXPECT_EQ(json::parse(req.body), json({{"requestType", "RENEW"}, {"oldSessionToken", "S1"}}));
    reply(res, envelope({{"sessionToken", "S2"}, {"masterToken", "M2"}}));
  });
  Connection& connection = connect();
  EXPECT_EQ(connection.execute("SELECT 5").rows.at(0).at(0), Value(5));
  ASSERT_EQ(submissions.size(), 2u);
  EXPECT_EQ(submissions[0].first, submissions[1].first);
  EXPECT_EQ(submissions[1].second, "Snowflake Token=\"S2\"");
  EXPECT_EQ(connection.rest()->token(), "S2");
}

TEST_F(ScriptedWarehouseTest, RefusesResultFormatsOtherThanJson) {
  server_.Post("/queries/v1/query-request", [](const httplib::Request&, httplib::Response& res) {
    json data = one_int_result("1");
    data["queryResultFormat"] = "arrow";
    reply(res, envelope(data));
  });
  EXPECT_THROW_SUBSTR(connect().execute("SELECT 1"), SnowflakeError, "other than JSON");
}

TEST_F(ScriptedWarehouseTest, APutToAStageTypeTheConnectorCannotReachIsAnErrorNotASuccess) {
  osa_test::ScratchDir scratch;
  const std::string file = (scratch.path() / "model.yaml").string();
  std::ofstream(file) << "name: m\n";
  server_.Post(
      "/queries/v1/query-request", [&](const httplib::Request& req, httplib::Response& res) {
        // File statements ask for the plain JSON answer.
        EXPECT_EQ(req.get_header_value("Accept"), "application/json");
        reply(res, envelope({{"command", "UPLOAD"},
                             {"src_locations", {file}},
                             {"stageInfo", {{"locationType", "TAPE"}, {"location", "vault/p/"}}}}));
      });
  EXPECT_THROW_MSG(connect().execute("PUT file://" + file + " @stage"),
                   platform::NotImplementedError,
                   "PUT to a stage of location type TAPE is not supported by this connector; no "
                   "file was transferred");
  EXPECT_THROW_MSG(connect().execute("GET @stage/model.yaml file:///tmp/"),
                   platform::NotImplementedError,
                   "GET statements need a file download, which this connector does not support "
                   "yet; no file was transferred");
}

TEST(UnreachableWarehouse, FailsAfterItsRetriesWithoutSecrets) {
  int port = 0;
  {
    // A port that was free a moment ago and has no listener now.
    httplib::Server probe;
    fakes::LoopbackServer running(probe);
    port = running.port();
  }
  ConnectionOptions options;
  options.account = "acct";
  options.user = "u";
  options.password = "very-secret-password";
  options.host = "127.0.0.1";
  options.port = port;
  options.protocol = "http";
  options.max_retries = 2;
  int waits = 0;
  options.sleep = [&](std::chrono::milliseconds) { ++waits; };
  try {
    Connection::open(options);
    FAIL() << "connected to nothing";
  } catch (const SnowflakeError& error) {
    EXPECT_NE(std::string(error.what()).find("Could not reach the warehouse for the login"),
              std::string::npos);
    EXPECT_EQ(std::string(error.what()).find("very-secret-password"), std::string::npos);
  }
  EXPECT_EQ(waits, 2);
}

}  // namespace
}  // namespace platform::snowflake
