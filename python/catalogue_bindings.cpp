// Our catalogue layer as the Python modules orvane.metadata.urns and orvane.sdk.main_client:
// typed URNs (value equality and hashing by their text) and the client the generator and the
// process context take.

#include <memory>
#include <string>

#include "orvane/metadata/urns.hpp"
#include "orvane/sdk/main_client.hpp"
#include "python/bindings.hpp"

namespace py = pybind11;
namespace urns = orvane::metadata::urns;

namespace python_bindings {

void register_urns(py::module_& module) {
  py::class_<urns::Urn, std::shared_ptr<urns::Urn>>(
      module, "Urn",
      "A catalogue urn of any kind; equal and hashed by its text, which str() gives.")
      .def_static(
          "from_string",
          [](std::string_view text) {
            return std::shared_ptr<urns::Urn>(urns::Urn::from_string(text));
          },
          py::arg("text"), "The typed urn of the text's kind; ValueError for a malformed text.")
      .def("urn", &urns::Urn::urn)
      .def_property_readonly("entity_type", &urns::Urn::entity_type)
      .def("__str__", &urns::Urn::urn)
      .def("__repr__", [](const urns::Urn& urn) { return urns::repr(urn); })
      .def("__eq__",
           [](const urns::Urn& urn, const py::object& other) -> py::object {
             if (!py::isinstance<urns::Urn>(other))
               return py::reinterpret_borrow<py::object>(Py_NotImplemented);
             return py::bool_(urn == other.cast<const urns::Urn&>());
           })
      .def("__hash__", [](const urns::Urn& urn) { return py::hash(py::str(urn.urn())); });

  py::class_<urns::DataPlatformUrn, urns::Urn, std::shared_ptr<urns::DataPlatformUrn>>(
      module, "DataPlatformUrn")
      .def(py::init<std::string_view>(), py::arg("platform_name"))
      .def_static("from_string",
                  py::overload_cast<std::string_view>(&urns::DataPlatformUrn::from_string),
                  py::arg("text"))
      .def_property_readonly("platform_name", &urns::DataPlatformUrn::platform_name);

  py::class_<urns::DatasetUrn, urns::Urn, std::shared_ptr<urns::DatasetUrn>>(module, "DatasetUrn")
      .def(py::init<std::string_view, std::string_view, std::string_view>(), py::arg("platform"),
           py::arg("name"), py::arg("env") = "PROD")
      .def_static(
          "from_string",
          [](const py::object& value) {
            if (py::isinstance<urns::Urn>(value)) {
              return urns::DatasetUrn::from_string(value.cast<const urns::Urn&>());
            }
            return urns::DatasetUrn::from_string(value.cast<std::string>());
          },
          py::arg("urn"), "The urn (a text or a typed urn) as a DatasetUrn; ValueError otherwise.")
      .def("get_data_platform_urn", &urns::DatasetUrn::get_data_platform_urn)
      .def_property_readonly("name", &urns::DatasetUrn::name)
      .def_property_readonly("env", &urns::DatasetUrn::env);

  py::class_<urns::QueryUrn, urns::Urn, std::shared_ptr<urns::QueryUrn>>(module, "QueryUrn")
      .def(py::init<std::string_view>(), py::arg("query_id"))
      .def_static("from_string", &urns::QueryUrn::from_string, py::arg("text"))
      .def_property_readonly("query_id", &urns::QueryUrn::query_id);
}

void register_main_client(py::module_& module) {
  using orvane::sdk::OrvaneClient;
  py::class_<OrvaneClient>(module, "OrvaneClient",
                           "The catalogue client. Copies share one connection to the catalogue "
                           "and are equal.")
      .def_static(
          "from_env", [] { return OrvaneClient::from_env(); },
          "The client configured from ORVANE_SERVER_URL, ORVANE_TOKEN and ORVANE_TIMEOUT_SECONDS; "
          "ValidationError naming each bad variable.")
      .def("__eq__",
           [](const OrvaneClient& client, const py::object& other) -> py::object {
             if (!py::isinstance<OrvaneClient>(other))
               return py::reinterpret_borrow<py::object>(Py_NotImplemented);
             return py::bool_(&client._graph() == &other.cast<const OrvaneClient&>()._graph());
           })
      .def("__hash__",
           [](const OrvaneClient& client) { return std::hash<const void*>{}(&client._graph()); });
}

}  // namespace python_bindings
