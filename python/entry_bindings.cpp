#include "python/entry_bindings.hpp"

#include "orvane_semantic_agent/entry.hpp"

namespace py = pybind11;

namespace python_bindings {

void register_entry(py::module_& package) {
  package.def(
      "main",
      [] {
        orvane_semantic_agent::load_entry_module();
        orvane_semantic_agent::main();
      },
      // The server blocks until it stops; other Python threads keep running meanwhile.
      py::call_guard<py::gil_scoped_release>(),
      "Runs the MCP server cortex_agent on standard input and output until it stops (what the "
      "console command orvane-semantic-agent runs).");
}

}  // namespace python_bindings
