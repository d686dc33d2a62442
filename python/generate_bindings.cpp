// The semantic model generator. `build` waits on the catalogue and the LLM for seconds to
// minutes, so it runs without the GIL and other Python threads go on meanwhile.
#include <pybind11/stl.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "orvane_semantic_agent/generate/generate.hpp"
#include "orvane_semantic_agent/generate/module_values.hpp"
#include "python/bindings.hpp"

namespace py = pybind11;
namespace generate = orvane_semantic_agent::generate;

namespace python_bindings {

void register_generate(py::module_& module) {
  using generate::SemanticModelGenerator;
  using orvane::metadata::urns::DatasetUrn;
  using Release = py::call_guard<py::gil_scoped_release>;

  module.def("load_module", &generate::load_module, Release(),
             "The module's start-up work (tracking experiment, traced completion, token "
             "encoding); runs once per process.");
  module.attr("MAX_QUERY_URNS_PER_TABLE") = generate::MAX_QUERY_URNS_PER_TABLE;
  module.attr("MAX_TOKENS_EXAMPLE_SQL") = generate::MAX_TOKENS_EXAMPLE_SQL;
  const std::string_view gql = generate::_list_queries_gql();
  module.attr("_list_queries_gql") = py::str(gql.data(), gql.size());
  module.def("_token_count", &generate::_token_count, py::arg("text"),
             "The number of tokens of the text under the encoding of the model gpt-4o-mini.");

  py::class_<SemanticModelGenerator>(module, "SemanticModelGenerator",
                                     "Turns start datasets into a semantic model; one build per "
                                     "generator, used from one thread at a time.")
      .def(py::init<orvane::sdk::OrvaneClient, int, std::optional<std::vector<DatasetUrn>>>(),
           py::arg("client"), py::arg("max_tables") = SemanticModelGenerator::kDefaultMaxTables,
           py::arg("start_urns") = py::none())
      .def_readonly("client", &SemanticModelGenerator::client)
      .def_readonly("max_tables", &SemanticModelGenerator::max_tables)
      .def("build", &SemanticModelGenerator::build, Release(),
           "Builds and returns a new SemanticModel of the start tables and the tables joined to "
           "them.")
      .def("build_logical_table", &SemanticModelGenerator::build_logical_table, Release(),
           py::arg("urn"))
      .def("request_table", &SemanticModelGenerator::request_table, Release(), py::arg("start_urn"),
           py::arg("_is_internal") = false)
      .def("get_tables", &SemanticModelGenerator::get_tables)
      .def("get_relationships", &SemanticModelGenerator::get_relationships, Release())
      .def("get_semantic_model", &SemanticModelGenerator::get_semantic_model, Release());
}

}  // namespace python_bindings
