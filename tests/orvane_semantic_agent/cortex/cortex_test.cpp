#include "orvane_semantic_agent/cortex/cortex.hpp"

#include <gtest/gtest.h>
#include <spdlog/sinks/ostream_sink.h>

#include <sys/resource.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include <nlohmann/json.hpp>

#include "platform/errors/errors.hpp"
#include "platform/log/log.hpp"
#include "tests/orvane_semantic_agent/semantic_model/worked_example.hpp"
#include "tests/platform/snowflake/fake_warehouse_fixture.hpp"
#include "tests/support/expect_throw.hpp"

namespace orvane_semantic_agent::cortex {
namespace {

// Collects the log lines written while it lives, as "level|message".
class LogCapture {
 public:
  LogCapture() : sink_(std::make_shared<spdlog::sinks::ostream_sink_mt>(stream_)) {
    sink_->set_pattern("%l|%v");
    platform::log::logger()->sinks().push_back(sink_);
  }
  ~LogCapture() {
    auto& sinks = platform::log::logger()->sinks();
    sinks.erase(std::remove(sinks.begin(), sinks.end(), sink_), sinks.end());
  }
  std::vector<std::string> lines() const {
    std::vector<std::string> result;
    std::istringstream text(stream_.str());
    for (std::string line; std::getline(text, line);) result.push_back(line);
    return result;
  }

 private:
  std::ostringstream stream_;
  std::shared_ptr<spdlog::sinks::ostream_sink_mt> sink_;
};

class CortexTest : public osa_test::ConnectedWarehouseTest {
 protected:
  std::vector<fakes::RecordedRequest> analyst_requests() const {
    return requests_to("/api/v2/cortex/analyst/message");
  }
};

TEST_F(CortexTest, SendsTheModelInlineWithTheTwoHeadersAndKeysInOrder) {
  fake_->add_analyst_answer(200, R"({"message":{"role":"analyst","content":[]}})");
  const semantic_model::SemanticModel model = semantic_model::testing::worked_example();
  const std::string prompt = R"(Revenue {per} "region"?)";
  call_snowflake_analyst(*connection_, model, prompt);

  const auto requests = analyst_requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].method, "POST");
  std::vector<std::pair<std::string, std::string>> own_headers;
  for (const auto& [name, value] : requests[0].headers) {
    if (name == "Authorization" || name == "Content-Type") own_headers.emplace_back(name, value);
  }
  const std::vector<std::pair<std::string, std::string>> expected_headers = {
      {"Authorization", "Snowflake Token=\"" + connection_->rest()->token() + "\""},
      {"Content-Type", "application/json"}};
  EXPECT_EQ(own_headers, expected_headers);

  const auto body = nlohmann::ordered_json::parse(requests[0].body);
  std::vector<std::string> keys;
  for (const auto& [key, value] : body.items()) keys.push_back(key);
  EXPECT_EQ(keys, (std::vector<std::string>{"messages", "stream", "semantic_model"}));
  EXPECT_EQ(body["messages"].dump(),
            nlohmann::ordered_json::array(
                {{{"role", "user"}, {"content", {{{"type", "text"}, {"text", prompt}}}}}})
                .dump());
  EXPECT_EQ(body["stream"], false);
  EXPECT_EQ(body["semantic_model"], model.model_dump_json(std::nullopt, true));
}

TEST_F(CortexTest, SendsAModelFileNameUnchanged) {
  fake_->add_analyst_answer(200, "{}");
  call_snowflake_analyst(*connection_, std::string("@stage/model.yaml"), "q");
  const auto body = nlohmann::ordered_json::parse(analyst_requests().at(0).body);
  EXPECT_EQ(body.size(), 3u);
  EXPECT_EQ(body["semantic_model_file"], "@stage/model.yaml");
  EXPECT_FALSE(body.contains("semantic_model"));
}

TEST_F(CortexTest, CollectsTextSqlAndSuggestionBlocksInOrder) {
  fake_->add_analyst_answer(200, R"({"message":{"content":[
      {"type":"text","text":"First."},
      {"type":"sql","statement":"SELECT 1"},
      {"type":"text","text":"Second."},
      {"type":"suggestions","suggestions":["a?","b?"]},
      {"type":"chart","chart":{}},
      {"type":"sql","statement":"SELECT 2"}]}})");
  LogCapture log;
  const auto entries = call_snowflake_analyst(*connection_, std::string("m.yaml"), "Which {x}?");
  const std::vector<AnalystEntry> expected = {
      std::string("First."), AnalystPair{"sql", "SELECT 1"}, std::string("Second."),
      AnalystPair{"suggestions", platform::Value::List{"a?", "b?"}},
      AnalystPair{"sql", "SELECT 2"}};
  EXPECT_EQ(entries, expected);
  const auto lines = log.lines();
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[0],
            "info|Making non-streaming request to Snowflake Analyst with prompt: Which {x}?");
  EXPECT_EQ(lines[1], "info|Request successful, parsing response");
  EXPECT_EQ(lines[2], "debug|Content blocks: [{'text': 'First.', 'type': 'text'},");
}

TEST_F(CortexTest, AnEmptyAnswerGivesNoEntriesAndThreeLogLines) {
  fake_->add_analyst_answer(200, "{}");
  LogCapture log;
  EXPECT_TRUE(call_snowflake_analyst(*connection_, std::string("m.yaml"), "q").empty());
  EXPECT_EQ(log.lines(),
            (std::vector<std::string>{
                "info|Making non-streaming request to Snowflake Analyst with prompt: q",
                "info|Request successful, parsing response", "debug|Content blocks: []"}));
  fake_->add_analyst_answer(200, R"({"message":{}})");
  EXPECT_TRUE(call_snowflake_analyst(*connection_, std::string("m.yaml"), "q").empty());
}

TEST_F(CortexTest, StatusFromFourHundredIsAnErrorBelowItIsParsed) {
  fake_->add_analyst_answer(400, R"({"message":"bad model"})");
  {
    LogCapture log;
    EXPECT_THROW_MSG(call_snowflake_analyst(*connection_, std::string("m.yaml"), "q"),
                     platform::RuntimeError,
                     R"(Failed request with status 400: {"message":"bad model"})");
    const auto lines = log.lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1], R"(error|Request failed with status 400: {"message":"bad model"})");
  }
  // The status is judged before the body is read, however the body is built.
  const std::string deep = std::string(1000, '[') + std::string(1000, ']');
  fake_->add_analyst_answer(500, deep);
  EXPECT_THROW_MSG(call_snowflake_analyst(*connection_, std::string("m.yaml"), "q"),
                   platform::RuntimeError, "Failed request with status 500: " + deep);
  fake_->add_analyst_answer(399, R"({"message":{"content":[{"type":"text","text":"ok"}]}})");
  EXPECT_EQ(call_snowflake_analyst(*connection_, std::string("m.yaml"), "q"),
            std::vector<AnalystEntry>{std::string("ok")});
}

TEST_F(CortexTest, MalformedAnswersFailWithoutPartialResults) {
  fake_->add_analyst_answer(200,
                            R"({"message":{"content":[{"type":"text","text":"a"},{"text":"b"}]}})");
  EXPECT_THROW_MSG(call_snowflake_analyst(*connection_, std::string("m.yaml"), "q"),
                   platform::KeyError, "'type'");
  fake_->add_analyst_answer(200, R"({"message":{"content":[{"type":"sql","sql":"SELECT 1"}]}})");
  EXPECT_THROW_MSG(call_snowflake_analyst(*connection_, std::string("m.yaml"), "q"),
                   platform::KeyError, "'statement'");
  fake_->add_analyst_answer(200, "not json");
  EXPECT_THROW(call_snowflake_analyst(*connection_, std::string("m.yaml"), "q"),
               platform::ValueError);
}

TEST_F(CortexTest, RefusesAnswersTooLargeOrNestedTooDeeply) {
  fake_->add_analyst_answer(200, std::string(kAnalystMaxAnswerBytes + 1, ' '));
  EXPECT_THROW_MSG(call_snowflake_analyst(*connection_, std::string("m.yaml"), "q"),
                   platform::RuntimeError,
                   "Request to Snowflake Analyst failed: the answer is larger than the limit of " +
                       std::to_string(kAnalystMaxAnswerBytes) + " bytes");
  const std::string deep = std::string(100000, '[') + std::string(100000, ']');
  fake_->add_analyst_answer(200, R"({"message":{"content":)" + deep + "}}");
  EXPECT_THROW_MSG(call_snowflake_analyst(*connection_, std::string("m.yaml"), "q"),
                   platform::ValueError,
                   "Snowflake Analyst's answer nests arrays and objects deeper than 256 levels");
}

TEST_F(CortexTest, ReadsADeeplyNestedAnswerOnlyAsFarAsItsDepthLimit) {
  // Parsed whole, 4 MiB of "[" would take hundreds of MiB before the depth check refused it.
  const std::string deep(std::size_t{4} << 20, '[');
  fake_->add_analyst_answer(200, deep);
  rusage before{};
  getrusage(RUSAGE_SELF, &before);
  EXPECT_THROW_MSG(call_snowflake_analyst(*connection_, std::string("m.yaml"), "q"),
                   platform::ValueError,
                   "Snowflake Analyst's answer nests arrays and objects deeper than 256 levels");
  rusage after{};
  getrusage(RUSAGE_SELF, &after);
  EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 64 * 1024) << "KiB more at the peak";
}

TEST_F(CortexTest, ReachesTheAnalystOverTheConnectionsOwnLoopbackHttp) {
  connection_.reset();
  start({.tls = false});
  connection_ = platform::snowflake::Connection::open(options());
  fake_->add_analyst_answer(200, R"({"message":{"content":[{"type":"text","text":"plain"}]}})");
  EXPECT_EQ(call_snowflake_analyst(*connection_, std::string("m.yaml"), "q"),
            std::vector<AnalystEntry>{std::string("plain")});
}

TEST_F(CortexTest, LogsInAgainWhenTheWarehouseForgotTheSession) {
  fake_->add_analyst_answer(200, R"({"message":{"content":[{"type":"text","text":"back"}]}})");
  fake_->forget_sessions();
  EXPECT_EQ(call_snowflake_analyst(*connection_, std::string("m.yaml"), "q"),
            std::vector<AnalystEntry>{std::string("back")});
  EXPECT_EQ(requests_to("/session/v1/login-request").size(), 2u);
  EXPECT_EQ(analyst_requests().size(), 2u);
}

TEST_F(CortexTest, AClosedConnectionFailsAfterTheFirstLogLineWithoutARequest) {
  connection_->close();
  LogCapture log;
  EXPECT_THROW_MSG(call_snowflake_analyst(*connection_, std::string("m.yaml"), "q"),
                   platform::AssertionError, "");
  EXPECT_EQ(log.lines().size(), 1u);
  EXPECT_TRUE(analyst_requests().empty());
}

class ExpiringSessionTest : public CortexTest {
 protected:
  static constexpr std::chrono::milliseconds kLifetime{1000};

  // A fresh fake whose tokens outlive `kLifetime` (the master token too, when asked).
  void start_expiring(bool master_too) {
    connection_.reset();
    start({.session_token_lifetime = kLifetime,
           .master_token_lifetime = master_too ? kLifetime : std::chrono::milliseconds(0)});
    connection_ = platform::snowflake::Connection::open(options());
  }
  std::vector<AnalystEntry> ask() {
    return call_snowflake_analyst(*connection_, std::string("m.yaml"), "q");
  }
  static std::string answer(const std::string& text) {
    return R"({"message":{"content":[{"type":"text","text":")" + text + R"("}]}})";
  }
  std::string authorization_of_last_analyst_request() const {
    const auto requests = analyst_requests();
    for (const auto& [name, value] : requests.back().headers) {
      if (name == "Authorization") return value;
    }
    return "";
  }
};

TEST_F(ExpiringSessionTest, RenewsAnExpiredSessionTokenAndSendsOnceMore) {
  start_expiring(/*master_too=*/false);
  fake_->add_analyst_answer(200, answer("first"));
  fake_->add_analyst_answer(200, answer("second"));
  EXPECT_EQ(ask(), std::vector<AnalystEntry>{std::string("first")});
  const std::string first_token = connection_->rest()->token();

  std::this_thread::sleep_for(kLifetime + std::chrono::milliseconds(200));
  EXPECT_EQ(ask(), std::vector<AnalystEntry>{std::string("second")});
  EXPECT_EQ(analyst_requests().size(), 3u);  // first, refused, sent once more
  EXPECT_EQ(requests_to("/session/token-request").size(), 1u);
  EXPECT_EQ(requests_to("/session/v1/login-request").size(), 1u);
  EXPECT_NE(connection_->rest()->token(), first_token);
  EXPECT_EQ(authorization_of_last_analyst_request(),
            "Snowflake Token=\"" + connection_->rest()->token() + "\"");
}

TEST_F(ExpiringSessionTest, LogsInAgainWhenTheMasterTokenExpiredToo) {
  start_expiring(/*master_too=*/true);
  fake_->add_analyst_answer(200, answer("first"));
  fake_->add_analyst_answer(200, answer("second"));
  ask();
  std::this_thread::sleep_for(kLifetime + std::chrono::milliseconds(200));
  EXPECT_EQ(ask(), std::vector<AnalystEntry>{std::string("second")});
  EXPECT_EQ(requests_to("/session/v1/login-request").size(), 2u);
  // The statement after the analyst call runs on the new session without a renewal of its own.
  EXPECT_EQ(connection_->execute("SELECT 1").rows.size(), 1u);
  EXPECT_EQ(requests_to("/session/token-request").size(), 1u);
}

TEST_F(CortexTest, ASecondRefusalAfterRenewalIsReportedAsAFailedRequest) {
  fake_->fail_next("/api/v2/cortex/analyst/message", 401, 2);
  EXPECT_THROW_MSG(call_snowflake_analyst(*connection_, std::string("m.yaml"), "q"),
                   platform::RuntimeError, "Failed request with status 401: injected fault 401");
  EXPECT_EQ(analyst_requests().size(), 2u);
  EXPECT_EQ(requests_to("/session/token-request").size(), 1u);
}

TEST_F(CortexTest, PutFileChecksTheStageBeforeRunningAnything) {
  for (const std::string stage : {"", "stage", " @stage"}) {
    SCOPED_TRACE(stage);
    EXPECT_THROW_MSG(put_file(*connection_, stage, "/tmp/model.yaml"), platform::ValueError,
                     "Stage spec must start with @");
  }
  // Anything beyond one stage reference would add to the statement.
  for (const std::string stage :
       {"@", "@stage; DROP TABLE orders", "@stage\nDROP TABLE orders", "@stage OVERWRITE = TRUE",
        "@stage'", "@a..b", "@a.b.c.d", "@\"unterminated", "@stage/a b", "@%t.x", "@1stage",
        "@\"\"", "@stage/x;y"}) {
    SCOPED_TRACE(stage);
    EXPECT_THROW_MSG(put_file(*connection_, stage, "/tmp/model.yaml"), platform::ValueError,
                     "Stage spec must name one stage, such as @stage or @db.schema.stage/path, "
                     "not " +
                         nlohmann::json(stage).dump());
  }
  EXPECT_TRUE(requests_to("/queries/").empty());
}

TEST_F(CortexTest, PutFileUploadsTheFileAndReturnsItsStagePath) {
  const std::filesystem::path dir = scratch_.path() / "my models";
  std::filesystem::create_directories(dir);
  // A quote and a ";" in the name: put_file runs the text through the statement splitter.
  const std::string path = (dir / "model 'v1'; x.yaml").string();
  std::ofstream(path) << "name: m\n";
  for (const std::string stage : {"@stage", "@~/models", "@db.sch.\"My Stage\"/v1/", "@%orders"}) {
    SCOPED_TRACE(stage);
    EXPECT_EQ(put_file(*connection_, stage, path), stage + "/model 'v1'; x.yaml");
  }
  const auto statements = requests_to("/queries/v1/query-request");
  ASSERT_EQ(statements.size(), 4u);
  EXPECT_EQ(nlohmann::json::parse(statements[0].body)["sqlText"],
            "PUT 'file://" + dir.string() + "/model \\'v1\\'; x.yaml' @stage");
  EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(fake_->stage_dir()) / "stage" /
                                      "model 'v1'; x.yaml.gz"));
  EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(fake_->stage_dir()) /
                                      "db.sch.My Stage" / "v1" / "model 'v1'; x.yaml.gz"));
}

TEST_F(CortexTest, PutFileOfAMissingFileFailsNamingIt) {
  EXPECT_THROW_SUBSTR(put_file(*connection_, "@stage", "/no/such/dir/model.yaml"),
                      platform::snowflake::SnowflakeError, "/no/such/dir/model.yaml");
}

}  // namespace
}  // namespace orvane_semantic_agent::cortex
