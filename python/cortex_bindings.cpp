// The warehouse settings, the native connection and the two warehouse calls of the module
// `cortex`. Every call that waits on the warehouse runs without the GIL.
#include <pybind11/stl.h>
#include <pybind11/stl/filesystem.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "orvane_semantic_agent/cortex/cortex.hpp"
#include "python/bindings.hpp"
#include "python/value_conversion.hpp"

namespace py = pybind11;
namespace cortex = orvane_semantic_agent::cortex;

namespace python_bindings {
namespace {

using cortex::NativeSnowflakeConnection;
using Release = py::call_guard<py::gil_scoped_release>;

// A text block's text stays a text; a "sql" or "suggestions" block becomes a (kind, value) pair.
py::list entries_to_python(const std::vector<cortex::AnalystEntry>& entries) {
  py::list list;
  for (const cortex::AnalystEntry& entry : entries) {
    if (const auto* text = std::get_if<std::string>(&entry)) {
      list.append(py::str(*text));
    } else {
      const auto& pair = std::get<cortex::AnalystPair>(entry);
      list.append(py::make_tuple(pair.kind, to_python(pair.value)));
    }
  }
  return list;
}

template <typename ModelOrFile>
py::list ask_analyst(NativeSnowflakeConnection& conn, const ModelOrFile& semantic_model_file,
                     const std::string& prompt) {
  std::vector<cortex::AnalystEntry> entries;
  {
    py::gil_scoped_release release;
    entries = cortex::call_snowflake_analyst(conn, semantic_model_file, prompt);
  }
  return entries_to_python(entries);
}

}  // namespace

void register_cortex(py::module_& module) {
  using Config = cortex::SnowflakeProvisioningConfig;
  using Base = orvane::ingestion::SnowflakeConnectionConfig;

  py::class_<NativeSnowflakeConnection, std::shared_ptr<NativeSnowflakeConnection>>(
      module, "SnowflakeConnection",
      "An open warehouse connection; `with` closes it at the end of the block. Statements may "
      "run from several threads at once, but not while it is being closed.")
      .def_property_readonly("host", &NativeSnowflakeConnection::host)
      .def("close", &NativeSnowflakeConnection::close, Release(),
           "Ends the session; later calls do nothing.")
      .def("is_closed", &NativeSnowflakeConnection::is_closed)
      .def("__enter__", [](const py::object& self) { return self; })
      .def("__exit__", [](NativeSnowflakeConnection& conn, const py::args&) {
        py::gil_scoped_release release;
        conn.close();
      });
  module.attr("NativeSnowflakeConnection") = module.attr("SnowflakeConnection");

  py::class_<Config>(module, "SnowflakeProvisioningConfig",
                     "The warehouse connection settings, read from SNOWFLAKE__CONNECTION__<field> "
                     "variables (names matched without regard to case).")
      .def_static("from_env", py::overload_cast<>(&Config::from_env),
                  "The settings from the environment; ValidationError naming every missing or "
                  "invalid variable, secrets never echoed.")
      .def(
          "get_native_connection",
          [](const Config& config) {
            return std::shared_ptr<NativeSnowflakeConnection>(config.get_native_connection());
          },
          Release(), "Logs in and returns the open connection.")
      .def_readonly("account_id", &Base::account_id)
      .def_readonly("authentication_type", &Base::authentication_type)
      .def_readonly("username", &Base::username)
      .def_readonly("role", &Base::role)
      .def_readonly("warehouse", &Base::warehouse)
      .def_readonly("database", &Base::database)
      .def_readonly("schema", &Base::schema)
      .def_readonly("host", &Base::host)
      .def_readonly("port", &Base::port)
      .def_readonly("protocol", &Base::protocol)
      .def("__eq__", [](const Config& config, const py::object& other) -> py::object {
        if (!py::isinstance<Config>(other))
          return py::reinterpret_borrow<py::object>(Py_NotImplemented);
        return py::bool_(config == other.cast<const Config&>());
      });

  module.def("call_snowflake_analyst",
             &ask_analyst<orvane_semantic_agent::semantic_model::SemanticModel>, py::arg("conn"),
             py::arg("semantic_model_file"), py::arg("prompt"),
             "Call Snowflake Analyst and return the response. Raises on error.\n\nA SemanticModel "
             "is sent inline; a text names a semantic model file on a stage. Returns the answer's "
             "text blocks as texts and its sql and suggestions blocks as (kind, value) pairs, in "
             "order.");
  module.def("call_snowflake_analyst", &ask_analyst<std::string>, py::arg("conn"),
             py::arg("semantic_model_file"), py::arg("prompt"));
  module.def(
      "put_file",
      [](NativeSnowflakeConnection& conn, const std::string& stage_spec,
         const std::filesystem::path& file_path) {
        return cortex::put_file(conn, stage_spec, file_path.string());
      },
      Release(), py::arg("conn"), py::arg("stage_spec"), py::arg("file_path"),
      "Put a file into a Snowflake stage.\n\nReturns the stage path of the uploaded file.");
}

}  // namespace python_bindings
