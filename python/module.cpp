// The native half of the Python packages `orvane_semantic_agent` and `orvane`: a thin binding of
// the C++ library. The `.py` modules of both packages import their names from here.
#include <pybind11/pybind11.h>
#include <unistd.h>

#include <string_view>

#include "orvane_semantic_agent/version.hpp"
#include "platform/dotenv/load_dotenv.hpp"
#include "python/bindings.hpp"

namespace py = pybind11;

namespace {

// A submodule importable as "orvane_semantic_agent._native.<name>" whose classes and exceptions
// show the public module that re-exports them, e.g. "orvane_semantic_agent.cortex".
py::module_ public_submodule(py::module_& native, const char* name, const char* public_name) {
  py::module_ module = native.def_submodule(name);
  py::module_::import("sys").attr(
      "modules")[py::str(native.attr("__name__")) + py::str(".") + py::str(name)] = module;
  module.attr("__name__") = public_name;
  return module;
}

// The loader sets the C environment, which os.environ only copies at start-up: the variables it
// added are copied into os.environ too, so Python code sees what the native code sees.
bool load_dotenv() {
  const bool found = platform::dotenv::load_dotenv();
  py::object os_environ = py::module_::import("os").attr("environ");
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string_view text(*entry);
    const std::size_t equals = text.find('=');
    if (equals == std::string_view::npos) continue;
    const py::str name(text.substr(0, equals));
    if (!os_environ.contains(name)) os_environ[name] = py::str(text.substr(equals + 1));
  }
  return found;
}

}  // namespace

PYBIND11_MODULE(_native, native) {
  using orvane_semantic_agent::kVersion;
  using orvane_semantic_agent::kVersionAll;
  using orvane_semantic_agent::kVersionTuple;
  native.doc() = "Semantic model generation and the Cortex Analyst tool server (native part)";

  native.attr("version") = py::str(kVersion.data(), kVersion.size());
  native.attr("version_tuple") =
      py::make_tuple(kVersionTuple[0], kVersionTuple[1], kVersionTuple[2]);
  py::list version_all;
  for (std::string_view name : kVersionAll) version_all.append(py::str(name.data(), name.size()));
  native.attr("version_all") = version_all;
  native.def("load_dotenv", &load_dotenv,
             "Adds the variables of the nearest .env file to the environment (os.environ too); "
             "variables already set keep their values. Returns whether a file was found.");

  py::module_ semantic_model =
      public_submodule(native, "semantic_model", "orvane_semantic_agent.semantic_model");
  py::module_ cortex = public_submodule(native, "cortex", "orvane_semantic_agent.cortex");
  python_bindings::register_errors(semantic_model, cortex);
  python_bindings::register_semantic_model(semantic_model);
  py::module_ urns = public_submodule(native, "urns", "orvane.metadata.urns");
  python_bindings::register_urns(urns);
  py::module_ main_client = public_submodule(native, "main_client", "orvane.sdk.main_client");
  python_bindings::register_main_client(main_client);
  py::module_ sql_lineage =
      public_submodule(native, "sqlglot_lineage", "orvane.sql_parsing.sqlglot_lineage");
  python_bindings::register_sql_lineage(sql_lineage);
  py::module_ generate = public_submodule(native, "generate", "orvane_semantic_agent.generate");
  python_bindings::register_generate(generate);
  python_bindings::register_cortex(cortex);
  py::module_ server =
      public_submodule(native, "cortex_analyst_mcp", "orvane_semantic_agent.cortex_analyst_mcp");
  python_bindings::register_cortex_analyst_mcp(server);
}
