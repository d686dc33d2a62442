#include "orvane_semantic_agent/cortex_analyst_mcp/cortex_analyst_mcp.hpp"

#include <fmt/format.h>

#include <cstdlib>
#include <mutex>

#include "orvane_semantic_agent/cortex_analyst_mcp/model_file_reader.hpp"
#include "orvane_semantic_agent/generate/generate.hpp"
#include "orvane_semantic_agent/version.hpp"
#include "platform/errors/errors.hpp"
#include "platform/json/ordered_json.hpp"
#include "platform/log/log.hpp"
#include "platform/cancellation/cancellation_scope.hpp"

namespace orvane_semantic_agent::cortex_analyst_mcp {

using orvane::metadata::urns::DatasetUrn;
using orvane::metadata::urns::Urn;
using semantic_model::SemanticModel;

const std::string_view kRunCortexAnalystDescription =
    "The Cortex Analyst is an agent that's an expert in writing and executing Snowflake SQL "
    "queries.\n"
    "\n"
    "However, it cannot find relevant datasets on its own - so you must first use the Orvane "
    "tools to find relevant datasets, and then pass your findings in as candidate_urns.\n"
    "Questions that are about metadata and governance can be answered using Orvane tools alone. "
    "Questions that require access to data should utilize both Orvane and Cortex Analyst.\n"
    "\n"
    "The query should be a natural language question that you'd like to answer. The candidate "
    "urns should be a list of dataset urns that may be relevant for answering the query. At "
    "least one Orvane Snowflake urn must be provided. The agent may use joins and other "
    "inference logic to find additional datasets relevant to the query/candidate urns.";

namespace {

struct ModuleState {
  std::optional<std::string> hardcoded_model_file;
  std::unique_ptr<platform::mcp::Server> server;
};

// Never destroyed: calls that outlive the server's grace time at shutdown still hold the tool,
// and the process may exit while they run.
ModuleState& module_state() {
  static ModuleState& state = *new ModuleState;
  return state;
}

nlohmann::ordered_json input_schema() {
  return {{"type", "object"},
          {"properties",
           {{"query", {{"type", "string"}}},
            {"candidate_urns", {{"type", "array"}, {"items", {{"type", "string"}}}}}}},
          {"required", {"query", "candidate_urns"}}};
}

platform::mcp::Tool run_cortex_analyst_tool() {
  return {.name = "run_cortex_analyst",
          .description = std::string(kRunCortexAnalystDescription),
          .input_schema = input_schema(),
          .output_schema = {{"type", "object"}},
          .handler = [](const nlohmann::ordered_json& arguments,
                        platform::mcp::RequestContext& context) {
            return run_cortex_analyst(
                arguments.at("query").get<std::string>(),
                arguments.at("candidate_urns").get<std::vector<std::string>>(), context);
          }};
}

std::shared_ptr<SemanticModel> hardcoded_model(const std::string& path) {
  platform::log::info("Using hardcoded semantic model file: {}", path);
  return SemanticModel::from_yaml(read_model_file(path));
}

std::shared_ptr<SemanticModel> generated_model(const orvane::sdk::OrvaneClient& client,
                                               const std::vector<std::string>& candidate_urns) {
  std::vector<DatasetUrn> parsed_urns = parse_candidate_urns(candidate_urns);
  std::vector<std::string> shown;
  for (const DatasetUrn& urn : parsed_urns) shown.push_back(repr(urn));
  platform::log::info("Building semantic model file for [{}]", fmt::join(shown, ", "));
  generate::SemanticModelGenerator semantic_model_generator(
      client, generate::SemanticModelGenerator::kDefaultMaxTables, std::move(parsed_urns));
  std::shared_ptr<SemanticModel> model = semantic_model_generator.build();
  platform::log::info("Semantic model: {}", model->model_dump_json(2, true));
  return model;
}

}  // namespace

void load_module() {
  static std::once_flag once;
  std::call_once(once, [] {
    ModuleState& state = module_state();
    state.server = std::make_unique<platform::mcp::Server>(
        platform::mcp::ServerInfo{.name = std::string(kServerName),
                                  .version = std::string(kVersion)},
        [] { return std::shared_ptr<void>(_app_lifespan()); });
    if (const char* value = std::getenv("CORTEX_HARDCODED_MODEL_FILE")) {
      state.hardcoded_model_file = value;
    }
    state.server->add_tool(run_cortex_analyst_tool());
  });
}

const std::optional<std::string>& CORTEX_HARDCODED_MODEL_FILE() {
  return module_state().hardcoded_model_file;
}

platform::mcp::Server& mcp() {
  platform::check(module_state().server != nullptr, "the server module is not loaded");
  return *module_state().server;
}

std::shared_ptr<AppContext> _app_lifespan() {
  Context config_context = get_context();
  std::unique_ptr<NativeSnowflakeConnection> conn = config_context.config.get_native_connection();
  auto directory = std::make_unique<TemporaryDirectory>(std::string(kTempDirPrefix));
  const std::filesystem::path temp_dir = directory->path();
  return std::shared_ptr<AppContext>(new AppContext{.config_context = std::move(config_context),
                                                    .snowflake_connection = std::move(conn),
                                                    .directory = std::move(directory),
                                                    .temp_dir = temp_dir,
                                                    .model_files = ModelFileStore(temp_dir)});
}

std::vector<DatasetUrn> parse_candidate_urns(const std::vector<std::string>& candidate_urns) {
  if (candidate_urns.empty()) throw platform::ValueError("No candidate urns provided");
  if (candidate_urns.size() > kMaxCandidateUrns) {
    throw platform::ValueError("Only up to 4 candidate urns are supported");
  }
  std::vector<std::unique_ptr<Urn>> raw_parsed_urns;
  for (const std::string& text : candidate_urns) raw_parsed_urns.push_back(Urn::from_string(text));
  for (const auto& urn : raw_parsed_urns) {
    if (!urn->is<DatasetUrn>()) throw platform::ValueError("Only dataset urns are supported");
  }
  std::vector<DatasetUrn> parsed_urns;
  for (const auto& urn : raw_parsed_urns) parsed_urns.push_back(DatasetUrn::from_string(*urn));
  for (const DatasetUrn& urn : parsed_urns) {
    if (urn.get_data_platform_urn().platform_name() != "snowflake") {
      throw platform::ValueError("Only snowflake datasets are supported");
    }
  }
  return parsed_urns;
}

nlohmann::ordered_json run_cortex_analyst(const std::string& query,
                                          const std::vector<std::string>& candidate_urns,
                                          platform::mcp::RequestContext& ctx) {
  // The only lifespan of this server makes AppContexts; no context means it never ran.
  platform::check(ctx.raw_lifespan_context() != nullptr);
  // A cancelled call (or a server told to stop) stops waiting for its statement.
  const platform::CancellationScope cancellation([&ctx] { return ctx.cancelled(); });
  return run_cortex_analyst(query, candidate_urns, ctx.lifespan_context<AppContext>());
}

nlohmann::ordered_json run_cortex_analyst(const std::string& query,
                                          const std::vector<std::string>& candidate_urns,
                                          AppContext& app_context) {
  NativeSnowflakeConnection& snowflake_connection = *app_context.snowflake_connection;
  const orvane::sdk::OrvaneClient& client = app_context.config_context.client;

  const std::optional<std::string>& hardcoded_file = CORTEX_HARDCODED_MODEL_FILE();
  const std::shared_ptr<SemanticModel> semantic_model =
      hardcoded_file && !hardcoded_file->empty() ? hardcoded_model(*hardcoded_file)
                                                 : generated_model(client, candidate_urns);

  app_context.model_files.write(semantic_model->to_yaml());

  const std::vector<cortex::AnalystEntry> entries =
      cortex::call_snowflake_analyst(snowflake_connection, *semantic_model, query);
  std::string text;
  platform::Value sql;  // null until the answer's SQL block
  for (const cortex::AnalystEntry& content : entries) {
    if (const auto* block_text = std::get_if<std::string>(&content)) {
      text += *block_text;
      continue;
    }
    const auto& pair = std::get<cortex::AnalystPair>(content);
    if (pair.kind != "sql") continue;
    platform::check(sql.is_null(), "Multiple SQL queries generated");
    sql = pair.value;
  }

  nlohmann::ordered_json result{
      {"text", text}, {"sql", platform::json::to_ordered_json(sql)}, {"results", nullptr}};
  if (sql.is_string() && !sql.as_string().empty()) {
    result["results"] = _execute_sql(snowflake_connection, sql.as_string());
  }
  return result;
}

}  // namespace orvane_semantic_agent::cortex_analyst_mcp
