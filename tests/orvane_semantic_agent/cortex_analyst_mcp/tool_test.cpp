// The tool and the lifespan against the fake warehouse, in hard-coded model mode: this test
// program sets CORTEX_HARDCODED_MODEL_FILE before the module's start-up step reads it. (The
// generated mode runs end to end in tests/e2e.)
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "orvane_semantic_agent/cortex_analyst_mcp/cortex_analyst_mcp.hpp"
#include "platform/errors/errors.hpp"
#include "platform/snowflake/snowflake_error.hpp"
#include "tests/fakes/catalogue/in_memory_graph.hpp"
#include "tests/platform/snowflake/fake_warehouse_fixture.hpp"
#include "tests/support/expect_throw.hpp"

namespace orvane_semantic_agent::cortex_analyst_mcp {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::ordered_json;

const fs::path kModelFile = osa_test::source_dir() / "tests/e2e/data/shop_model.yml";

class HardcodedModelMode : public ::testing::Environment {
 public:
  void SetUp() override {
    ::setenv("CORTEX_HARDCODED_MODEL_FILE", kModelFile.c_str(), 1);
    load_module();
    // Read once: later changes are not seen.
    ::setenv("CORTEX_HARDCODED_MODEL_FILE", "/elsewhere.yml", 1);
    load_module();
  }
};
const auto* const kMode = ::testing::AddGlobalTestEnvironment(new HardcodedModelMode);

std::string read(const fs::path& path) {
  std::ifstream file(path);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

// A list of blocks, never taken for one block (as a one-element braced Json would be).
using Blocks = std::vector<Json>;

std::string analyst_answer(const Blocks& content) {
  return Json{{"message", {{"role", "analyst"}, {"content", Json(content)}}}}.dump();
}
Json text_block(const std::string& text) { return {{"type", "text"}, {"text", text}}; }
Json sql_block(const std::string& statement) { return {{"type", "sql"}, {"statement", statement}}; }

class ToolTest : public osa_test::FakeWarehouseTest {
 protected:
  void SetUp() override {
    FakeWarehouseTest::SetUp();
    fake_->run_sql(read(osa_test::source_dir() / "demo/warehouse.sql"));
    if (const char* old = std::getenv("TMPDIR")) old_tmpdir_ = old;
    ::setenv("TMPDIR", tmp_.path().c_str(), 1);
  }
  void TearDown() override {
    if (old_tmpdir_) {
      ::setenv("TMPDIR", old_tmpdir_->c_str(), 1);
    } else {
      ::unsetenv("TMPDIR");
    }
    FakeWarehouseTest::TearDown();
  }

  Context context(const std::string& password = "secret") {
    cortex::SnowflakeProvisioningConfig config;
    config.account_id = "fakeacct";
    config.username = "tester";
    config.password = password;
    config.host = "127.0.0.1";
    config.port = fake_->port();
    return Context{.client = orvane::sdk::OrvaneClient(orvane::sdk::InMemoryOrvaneGraph::from_file(
                       osa_test::source_dir() / "demo/catalogue.json")),
                   .config = config};
  }

  std::vector<fs::path> server_dirs() const {
    std::vector<fs::path> found;
    for (const auto& entry : fs::directory_iterator(tmp_.path())) found.push_back(entry.path());
    return found;
  }

  Json ask(AppContext& app, const Blocks& content) {
    fake_->add_analyst_answer(200, analyst_answer(content));
    return run_cortex_analyst("q", {}, app);
  }

  osa_test::ScratchDir tmp_;
  std::optional<std::string> old_tmpdir_;
};

TEST_F(ToolTest, ReadsTheHardcodedPathOnceAtStartUp) {
  EXPECT_EQ(CORTEX_HARDCODED_MODEL_FILE(), kModelFile.string());
}

TEST_F(ToolTest, LifespanNeedsTheContextBeforeItOpensAnything) {
  EXPECT_THROW_MSG(_app_lifespan(), platform::LookupError,
                   "<ContextVar name='_semantic_agent_context'>");
  EXPECT_TRUE(requests_to("/session/v1/login-request").empty());
  EXPECT_TRUE(server_dirs().empty());
}

TEST_F(ToolTest, LifespanHoldsOneSessionAndOneDirectoryAndReleasesBoth) {
  auto scope = with_context(context());
  std::shared_ptr<AppContext> app = _app_lifespan();
  EXPECT_EQ(fake_->open_sessions(), 1);
  ASSERT_EQ(server_dirs().size(), 1u);
  EXPECT_EQ(server_dirs()[0], app->temp_dir);
  EXPECT_TRUE(app->temp_dir.filename().string().starts_with("orvane_semantic_agent"));
  EXPECT_EQ(app->config_context, get_context());

  ask(*app, {sql_block("SELECT 1 AS ONE")});
  app.reset();
  EXPECT_TRUE(server_dirs().empty());
  EXPECT_EQ(fake_->open_sessions(), 0);
}

TEST_F(ToolTest, ReleasingDeletesTheDirectoryAndGivesUpOnAFrozenWarehouseInTime) {
  auto scope = with_context(context());
  std::shared_ptr<AppContext> app = _app_lifespan();
  ask(*app, {sql_block("SELECT 1 AS ONE")});
  fake_->set_frozen(true);
  const auto began = std::chrono::steady_clock::now();
  release_resources(*app);
  EXPECT_LT(std::chrono::steady_clock::now() - began, kSessionCloseLimit + std::chrono::seconds(2));
  EXPECT_TRUE(server_dirs().empty());
  EXPECT_TRUE(app->snowflake_connection->is_closed());
  fake_->set_frozen(false);
  app.reset();  // releasing again later does nothing
  EXPECT_TRUE(server_dirs().empty());
}

TEST_F(ToolTest, AFailedLoginCreatesNoDirectory) {
  auto scope = with_context(context("wrong"));
  EXPECT_THROW(_app_lifespan(), platform::snowflake::SnowflakeError);
  EXPECT_TRUE(server_dirs().empty());
}

TEST_F(ToolTest, WalksTheAnswerIntoTextSqlAndRows) {
  auto scope = with_context(context());
  auto app = _app_lifespan();
  const std::string count_sql = "SELECT STATUS, COUNT(*) AS N FROM ORDERS GROUP BY STATUS";
  const struct {
    const char* name;
    Blocks content;
    Json expected;
  } cases[] = {
      {"text, sql, text, suggestions",
       {text_block("Orders "),
        sql_block(count_sql + " ORDER BY STATUS"),
        text_block("by status."),
        {{"type", "suggestions"}, {"suggestions", {"More?"}}}},
       {{"text", "Orders by status."},
        {"sql", count_sql + " ORDER BY STATUS"},
        {"results",
         {{{"STATUS", "open"}, {"N", 1}},
          {{"STATUS", "returned"}, {"N", 1}},
          {{"STATUS", "shipped"}, {"N", 3}}}}}},
      {"no sql block",
       {text_block("No idea.")},
       {{"text", "No idea."}, {"sql", nullptr}, {"results", nullptr}}},
      {"empty sql", {sql_block("")}, {{"text", ""}, {"sql", ""}, {"results", nullptr}}},
      {"no rows",
       {sql_block("SELECT ORDER_ID FROM ORDERS WHERE 1 = 0")},
       {{"text", ""},
        {"sql", "SELECT ORDER_ID FROM ORDERS WHERE 1 = 0"},
        {"results", Json::array()}}},
      {"an empty answer", {}, {{"text", ""}, {"sql", nullptr}, {"results", nullptr}}},
  };
  for (const auto& [name, content, expected] : cases) {
    SCOPED_TRACE(name);
    EXPECT_EQ(ask(*app, content), expected);
  }
  // Every call left its model file, the hard-coded model's YAML.
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(app->temp_dir)) files.push_back(entry.path());
  ASSERT_EQ(files.size(), std::size(cases));
  EXPECT_EQ(read(files[0]), semantic_model::SemanticModel::from_yaml(read(kModelFile))->to_yaml());
}

TEST_F(ToolTest, TwoSqlBlocksFailBeforeAnythingRuns) {
  auto scope = with_context(context());
  auto app = _app_lifespan();
  EXPECT_THROW_MSG(ask(*app, {sql_block(""), text_block("t"), sql_block("SELECT 7 AS SEVEN")}),
                   platform::AssertionError, "Multiple SQL queries generated");
  EXPECT_EQ(fake_->executions("SELECT 7 AS SEVEN"), 0);
}

TEST_F(ToolTest, FailuresOfTheAnalystAndTheSqlPropagateAndTheModelFileStays) {
  auto scope = with_context(context());
  auto app = _app_lifespan();
  fake_->add_analyst_answer(500, R"({"message":"down"})");
  EXPECT_THROW_MSG(run_cortex_analyst("q", {}, *app), platform::RuntimeError,
                   R"(Failed request with status 500: {"message":"down"})");
  EXPECT_THROW_SUBSTR(ask(*app, {sql_block("SELECT X FROM NO_SUCH_TABLE")}),
                      platform::snowflake::SnowflakeError, "NO_SUCH_TABLE");
  EXPECT_THROW_MSG(ask(*app, {sql_block("SELECT 1 AS A, 2 AS A")}), platform::ValueError,
                   "DataFrame columns must be unique for orient='records'.");
  EXPECT_EQ(std::distance(fs::directory_iterator(app->temp_dir), fs::directory_iterator()), 3);
}

TEST_F(ToolTest, FileTransfersInTheAnswersSqlAreRefusedBeforeAnythingIsSent) {
  auto scope = with_context(context());
  auto app = _app_lifespan();
  osa_test::ScratchDir project;
  const fs::path secrets = project.path() / ".env";
  std::ofstream(secrets) << "SNOWFLAKE__CONNECTION__PASSWORD=secret\n";
  const std::string refused[] = {
      "PUT 'file://" + secrets.string() + "' @~/loot",
      "put file:///etc/passwd @~",
      "-- harmless\n/* still harmless */ Put file:///etc/passwd @~",
      "// a comment too\nPUT file:///etc/passwd @~",
      "GET @~/loot file://" + project.path().string(),
      "  \n\tget @~ file:///tmp/",
      "SELECT 1 AS ONE; PUT file:///etc/passwd @~",
      "SELECT ';' AS A;\n-- last\nget @~ file:///tmp/;",
  };
  for (const std::string& sql : refused) {
    SCOPED_TRACE(sql);
    EXPECT_THROW_SUBSTR(ask(*app, {sql_block(sql)}), platform::ValueError,
                        "Refusing to run the generated SQL: it holds a ");
    EXPECT_EQ(fake_->executions(sql), 0);
  }
  EXPECT_TRUE(fs::is_empty(fake_->stage_dir()));
  // The words alone, in a text, a name or a comment, are no transfer.
  for (const std::string sql : {"SELECT 'PUT file:///etc/passwd @~' AS T",
                                "-- PUT file:///etc/passwd @~\nSELECT 1 AS PUT_COUNT"}) {
    SCOPED_TRACE(sql);
    EXPECT_EQ(ask(*app, {sql_block(sql)})["results"].size(), 1u);
  }
}

TEST_F(ToolTest, ARequestWithoutTheServersLifespanContextFailsWithoutAMessage) {
  platform::mcp::RequestContext request(nullptr, 1, nullptr);
  EXPECT_THROW_MSG(run_cortex_analyst("q", {}, request), platform::AssertionError, "");
}

}  // namespace
}  // namespace orvane_semantic_agent::cortex_analyst_mcp
