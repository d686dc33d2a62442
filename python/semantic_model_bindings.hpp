// The submodule `orvane_semantic_agent.semantic_model`: the twelve records, ValidationError and
// YAMLError.
#pragma once

#include <pybind11/pybind11.h>

namespace python_bindings {

// Adds the submodule to `package` and returns it.
pybind11::module_ register_semantic_model(pybind11::module_& package);

}  // namespace python_bindings
