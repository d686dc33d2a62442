// The native extension `orvane_semantic_agent._native`: one submodule per public module, each
// filled by one register function below. The package's `.py` modules import from them.
#pragma once

#include <pybind11/pybind11.h>

namespace python_bindings {

// The Python exception classes of the system's error kinds (ValidationError, YAMLError,
// SnowflakeError) and the translation of every C++ failure into its Python kind.
void register_errors(pybind11::module_& semantic_model, pybind11::module_& cortex);

void register_semantic_model(pybind11::module_& module);
// orvane.metadata.urns and orvane.sdk.main_client, our catalogue layer.
void register_urns(pybind11::module_& module);
void register_main_client(pybind11::module_& module);
// orvane.sql_parsing.sqlglot_lineage: the SQL join lineage parser and its JoinInfo records.
void register_sql_lineage(pybind11::module_& module);
void register_generate(pybind11::module_& module);
void register_cortex(pybind11::module_& module);
void register_cortex_analyst_mcp(pybind11::module_& module);

}  // namespace python_bindings
