// Each submodule of the Python package registers itself from here, so `module.cpp` stays small.
#pragma once

#include <pybind11/pybind11.h>

namespace python_bindings {

// Adds every submodule to `package` and to sys.modules under "orvane_semantic_agent.<name>",
// so that `from orvane_semantic_agent.semantic_model import SemanticModel` works, and the
// package's `main`.
void register_submodules(pybind11::module_& package);

}  // namespace python_bindings
