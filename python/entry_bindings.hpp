// The package's process entry `main`, the same as the console program's.
#pragma once

#include <pybind11/pybind11.h>

namespace python_bindings {

void register_entry(pybind11::module_& package);

}  // namespace python_bindings
