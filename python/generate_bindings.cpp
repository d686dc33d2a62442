// The semantic model generator. `build` waits on the catalogue and the LLM for seconds to
// minutes, so it runs without the GIL and other Python threads go on meanwhile.
#include <pybind11/stl.h>

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "orvane_semantic_agent/generate/generate.hpp"
#include "orvane_semantic_agent/generate/joined_tables.hpp"
#include "orvane_semantic_agent/generate/module_values.hpp"
#include "python/bindings.hpp"

namespace py = pybind11;
namespace generate = orvane_semantic_agent::generate;

namespace python_bindings {
namespace {

// The two records the generator files mined joins with.
void register_join_records(py::module_& module) {
  using generate::JoinedTables;
  using generate::SourcedJoinInfo;
  using orvane::metadata::urns::DatasetUrn;
  using orvane::metadata::urns::QueryUrn;
  using orvane::sql_parsing::JoinInfo;

  // The URN and the join are handed out as copies: a value read before an assignment keeps
  // what it was.
  py::class_<SourcedJoinInfo>(module, "SourcedJoinInfo", "One join found in one historic query.")
      .def(py::init([](const QueryUrn& query_urn, std::string query_text, const JoinInfo& join) {
             return SourcedJoinInfo{query_urn, std::move(query_text), join};
           }),
           py::arg("query_urn"), py::arg("query_text"), py::arg("join"))
      .def_property(
          "query_urn", [](const SourcedJoinInfo& sourced) { return sourced.query_urn; },
          [](SourcedJoinInfo& sourced, const QueryUrn& urn) { sourced.query_urn = urn; })
      .def_readwrite("query_text", &SourcedJoinInfo::query_text)
      .def_property(
          "join", [](const SourcedJoinInfo& sourced) { return sourced.join; },
          [](SourcedJoinInfo& sourced, const JoinInfo& join) { sourced.join = join; });

  py::class_<JoinedTables>(module, "JoinedTables",
                           "A join group: the immutable set of the one or two DatasetUrns that a "
                           "join touches; equal and hashed by its members.")
      .def(py::init([](const py::iterable& urns) {
             std::vector<DatasetUrn> members;
             for (py::handle urn : urns) {
               if (!py::isinstance<DatasetUrn>(urn))
                 throw py::type_error("a join group holds DatasetUrns, not " +
                                      py::repr(urn).cast<std::string>());
               members.push_back(urn.cast<DatasetUrn>());
             }
             if (members.size() == 1) return JoinedTables{members[0]};
             if (members.size() == 2) return JoinedTables{members[0], members[1]};
             throw py::value_error("a join group holds one or two dataset URNs, not " +
                                   std::to_string(members.size()));
           }),
           py::arg("urns"))
      .def("__len__", &JoinedTables::size)
      .def(
          "__iter__",
          [](const JoinedTables& tables) {
            return py::make_iterator<py::return_value_policy::copy>(tables.begin(), tables.end());
          },
          py::keep_alive<0, 1>())
      .def("__contains__",
           [](const JoinedTables& tables, const py::object& urn) {
             return py::isinstance<DatasetUrn>(urn) && tables.contains(urn.cast<DatasetUrn>());
           })
      .def("__eq__",
           [](const JoinedTables& tables, const py::object& other) -> py::object {
             if (!py::isinstance<JoinedTables>(other))
               return py::reinterpret_borrow<py::object>(Py_NotImplemented);
             return py::bool_(tables == other.cast<const JoinedTables&>());
           })
      .def("__hash__", [](const JoinedTables& tables) { return std::hash<JoinedTables>{}(tables); })
      .def("__repr__", [](const JoinedTables& tables) { return generate::repr(tables); });
}

}  // namespace

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
  register_join_records(module);

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
