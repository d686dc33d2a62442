// The Python extension module `orvane_semantic_agent`: a thin binding of the C++ library.
#include <pybind11/pybind11.h>

#include "orvane_semantic_agent/version.hpp"
#include "python/bindings.hpp"

namespace py = pybind11;

PYBIND11_MODULE(orvane_semantic_agent, module) {
  using orvane_semantic_agent::kVersion;
  using orvane_semantic_agent::kVersionTuple;
  module.doc() = "Semantic model generation and the Cortex Analyst tool server";
  const py::str version(kVersion.data(), kVersion.size());
  const py::tuple version_tuple =
      py::make_tuple(kVersionTuple[0], kVersionTuple[1], kVersionTuple[2]);
  module.attr("__version__") = version;
  module.attr("version") = version;
  module.attr("__version_tuple__") = version_tuple;
  module.attr("version_tuple") = version_tuple;
  python_bindings::register_submodules(module);
}
