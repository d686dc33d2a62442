#include "python/bindings.hpp"

namespace py = pybind11;

namespace python_bindings {

void register_submodules(py::module_& /*package*/) {}

}  // namespace python_bindings
