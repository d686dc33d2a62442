// The module `cortex_analyst_mcp`: the MCP server object, the per-run resources, the tool and
// its query function. The process-wide context lives in Python (`_context`); whatever starts
// server work from Python hands the context installed there to the C++ side for that work.
#include <pybind11/stl.h>
#include <pybind11/stl/filesystem.h>

#include <memory>
#include <string>
#include <vector>

#include "orvane_semantic_agent/context.hpp"
#include "orvane_semantic_agent/cortex_analyst_mcp/cortex_analyst_mcp.hpp"
#include "platform/errors/errors.hpp"
#include "platform/json/ordered_json.hpp"
#include "python/bindings.hpp"
#include "python/value_conversion.hpp"

namespace py = pybind11;
namespace server = orvane_semantic_agent::cortex_analyst_mcp;

namespace python_bindings {
namespace {

using orvane_semantic_agent::Context;
using server::AppContext;

py::module_ context_module() { return py::module_::import("orvane_semantic_agent._context"); }

// The Context installed in the calling thread's Python context; LookupError when none is.
Context installed_context() {
  const py::object context = context_module().attr("get_context")();
  return Context{.client = context.attr("client").cast<orvane::sdk::OrvaneClient>(),
                 .config = context.attr("config")
                               .cast<orvane_semantic_agent::cortex::SnowflakeProvisioningConfig>()};
}

py::object json_to_python(const nlohmann::ordered_json& json) {
  return to_python(platform::json::from_ordered_json(json));
}

// Opens the resources of one run for the installed context: logs in, then makes the directory.
std::shared_ptr<AppContext> open_app_context() {
  const Context context = installed_context();
  py::gil_scoped_release release;
  const orvane_semantic_agent::ContextScope scope(context);
  return server::_app_lifespan();
}

// Releases them in the lifespan's order: the directory first, then the connection.
void close_app_context(AppContext& app_context) {
  py::gil_scoped_release release;
  app_context.directory->cleanup();
  app_context.snowflake_connection->close();
}

py::object run_tool(const std::string& query, const std::vector<std::string>& candidate_urns,
                    const py::object& ctx) {
  const py::object lifespan_context = ctx.attr("request_context").attr("lifespan_context");
  if (!py::isinstance<AppContext>(lifespan_context)) throw platform::AssertionError("");
  AppContext& app_context = lifespan_context.cast<AppContext&>();
  nlohmann::ordered_json result;
  {
    py::gil_scoped_release release;
    result = server::run_cortex_analyst(query, candidate_urns, app_context);
  }
  return json_to_python(result);
}

}  // namespace

void register_cortex_analyst_mcp(py::module_& module) {
  module.def("load_module", &server::load_module,
             "The module's start-up work: reads CORTEX_HARDCODED_MODEL_FILE and builds the server; "
             "runs once per process.");
  module.def("hardcoded_model_file", &server::CORTEX_HARDCODED_MODEL_FILE);

  py::class_<platform::mcp::Server>(module, "FastMCP", "The MCP server \"cortex_agent\".")
      .def(
          "run",
          [](platform::mcp::Server& mcp, bool /*show_banner*/) {
            const Context context = installed_context();
            py::gil_scoped_release release;
            const orvane_semantic_agent::ContextScope scope(context);
            mcp.run();
          },
          py::kw_only(), py::arg("show_banner") = true,
          "Serves MCP over standard input and output with the context installed by with_context "
          "(LookupError when none is) until end of input, SIGINT or SIGTERM. The server prints "
          "no banner either way.");
  module.def(
      "server", [] { return &server::mcp(); }, py::return_value_policy::reference);

  py::class_<AppContext, std::shared_ptr<AppContext>>(
      module, "AppContext", "The resources of one server run, shared by its tool calls.")
      .def_property_readonly("config_context",
                             [](const AppContext& app_context) {
                               return context_module().attr("Context")(
                                   py::arg("client") = app_context.config_context.client,
                                   py::arg("config") = app_context.config_context.config);
                             })
      .def_property_readonly("snowflake_connection",
                             [](const std::shared_ptr<AppContext>& app_context) {
                               // Shares ownership, so the connection outlives no AppContext.
                               return std::shared_ptr<server::NativeSnowflakeConnection>(
                                   app_context, app_context->snowflake_connection.get());
                             })
      .def_readonly("temp_dir", &AppContext::temp_dir);
  module.def("_open_app_context", &open_app_context);
  module.def("_close_app_context", &close_app_context, py::arg("app_context"));

  module.def("run_cortex_analyst", &run_tool, py::arg("query"), py::arg("candidate_urns"),
             py::arg("ctx"),
             "The tool: `ctx.request_context.lifespan_context` must be an AppContext "
             "(AssertionError otherwise). Returns {'text', 'sql', 'results'}.");
  module.def(
      "_execute_sql",
      [](server::NativeSnowflakeConnection& conn, const std::string& sql) {
        nlohmann::ordered_json rows;
        {
          py::gil_scoped_release release;
          rows = server::_execute_sql(conn, sql);
        }
        return json_to_python(rows);
      },
      py::arg("conn"), py::arg("sql"),
      "Runs the statement and returns its rows as records mapping column names to values.");
}

}  // namespace python_bindings
