#include "python/bindings.hpp"

#include "python/entry_bindings.hpp"
#include "python/semantic_model_bindings.hpp"

namespace py = pybind11;

namespace python_bindings {

void register_submodules(py::module_& package) {
  py::dict modules = py::module_::import("sys").attr("modules");
  modules["orvane_semantic_agent.semantic_model"] = register_semantic_model(package);
  register_entry(package);
}

}  // namespace python_bindings
