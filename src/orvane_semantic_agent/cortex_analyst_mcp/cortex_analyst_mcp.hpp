// The system's MCP server "cortex_agent", its per-run resources and its one tool,
// `run_cortex_analyst`: a question and a few catalogue dataset urns in; the analyst's text, its
// SQL and the SQL's rows out.
//
//   cortex_analyst_mcp::load_module();   // at start-up, before the .env file is loaded
//   auto scope = with_context(context);  // the lifespan reads it when the server starts
//   cortex_analyst_mcp::mcp().run();     // until end of input or SIGINT/SIGTERM
//
// One server run holds one warehouse connection and one private temporary directory, shared by
// every tool call of the run; the directory is deleted, then the connection closed, when the run
// ends, also when a call that ignored cancellation still runs (see `release_resources`). Each
// call writes its semantic model as a YAML file into the directory; only the newest
// `ModelFileStore::kDefaultKeep` files stay (see model_file_store.hpp).
//
// Environment: CORTEX_HARDCODED_MODEL_FILE, read once by `load_module`: when it is a non-empty
// path, every call answers against the semantic model in that YAML file instead of generating
// one from its candidate urns, which are then not checked.
//
// Failures of a call are exceptions that the server reports to the agent as the call's error:
// platform::ValueError for bad candidate urns (texts below), platform::RuntimeError "Cannot read
// the semantic model file <path>: <the system's reason>" for a model file that cannot be read,
// the YAML and validation errors of a bad model file, the generator's, analyst's and warehouse's
// failures unchanged, platform::AssertionError "Multiple SQL queries generated". Calls may run at
// the same time.
#pragma once

#include <chrono>
#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "orvane/metadata/urns.hpp"
#include "orvane_semantic_agent/context.hpp"
#include "orvane_semantic_agent/cortex/cortex.hpp"
#include "orvane_semantic_agent/cortex_analyst_mcp/model_file_store.hpp"
#include "orvane_semantic_agent/cortex_analyst_mcp/temporary_directory.hpp"
#include "orvane_semantic_agent/semantic_model/semantic_model.hpp"
#include "platform/mcp/server.hpp"

namespace orvane_semantic_agent::cortex_analyst_mcp {

using cortex::NativeSnowflakeConnection;

inline constexpr std::string_view kServerName = "cortex_agent";
inline constexpr std::string_view kTempDirPrefix = "orvane_semantic_agent";
inline constexpr std::size_t kMaxCandidateUrns = 4;
// How long closing the warehouse session may wait for a warehouse that does not answer.
inline constexpr std::chrono::milliseconds kSessionCloseLimit{std::chrono::seconds(5)};

// The tool's description, as agents read it.
extern const std::string_view kRunCortexAnalystDescription;

// The module's start-up work: reads CORTEX_HARDCODED_MODEL_FILE from the environment and builds
// `mcp()` with its tool. Runs once per process; later calls do nothing.
void load_module();

// The value of CORTEX_HARDCODED_MODEL_FILE that `load_module` read; null when it was unset or
// before `load_module` ran.
const std::optional<std::string>& CORTEX_HARDCODED_MODEL_FILE();

// The server object, built by `load_module` (platform::AssertionError before that).
platform::mcp::Server& mcp();

// The resources of one server run. Members are released in reverse order: the model files and
// the directory first, then the connection, which closes.
struct AppContext {
  const Context config_context;
  const std::unique_ptr<NativeSnowflakeConnection> snowflake_connection;
  const std::unique_ptr<TemporaryDirectory> directory;
  const std::filesystem::path temp_dir;  // directory->path()
  ModelFileStore model_files;            // writes into temp_dir
};

// The server's lifespan: reads the process-wide context (platform::LookupError when none is
// installed, before anything is opened), opens the warehouse connection, then creates the
// temporary directory (a failure there closes the connection again). Releasing the result
// deletes the directory, then closes the connection.
std::shared_ptr<AppContext> _app_lifespan();

// How the server leaves the lifespan: deletes the temporary directory, then closes the warehouse
// session, giving up on it after kSessionCloseLimit. Failures are logged. Runs also while a call
// still holds `app_context`; that call then fails on the closed resources.
void release_resources(AppContext& app_context) noexcept;

// The tool as the server calls it: the lifespan context of the request must be an AppContext
// (platform::AssertionError without a message otherwise).
nlohmann::ordered_json run_cortex_analyst(const std::string& query,
                                          const std::vector<std::string>& candidate_urns,
                                          platform::mcp::RequestContext& ctx);
// The same call on given resources. Returns {"text": ..., "sql": ... or null, "results": rows or
// null}.
nlohmann::ordered_json run_cortex_analyst(const std::string& query,
                                          const std::vector<std::string>& candidate_urns,
                                          AppContext& app_context);

// The candidate texts as snowflake dataset urns, in order, duplicates kept. Throws
// platform::ValueError "No candidate urns provided", "Only up to 4 candidate urns are
// supported", the urn parser's error for a malformed text (every text is parsed before any is
// checked), "Only dataset urns are supported", "Only snowflake datasets are supported".
std::vector<orvane::metadata::urns::DatasetUrn> parse_candidate_urns(
    const std::vector<std::string>& candidate_urns);

// Runs `sql` on `conn` and returns its rows as JSON records, one per row, in the result's order,
// each mapping the column names in order to the row's values (see the row-record conversion for
// the value forms). A text that holds a file transfer (a PUT or GET statement, in any letter
// case, after any comments, first or later in the text) is refused with platform::ValueError
// before anything is sent.
nlohmann::ordered_json _execute_sql(NativeSnowflakeConnection& conn, const std::string& sql);

}  // namespace orvane_semantic_agent::cortex_analyst_mcp
