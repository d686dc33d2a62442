// The catalogue library's SQL join lineage as the Python module
// orvane.sql_parsing.sqlglot_lineage: the parser and the read-only records it answers with.
#include <pybind11/stl.h>

#include "orvane/sql_parsing/sql_lineage.hpp"
#include "python/bindings.hpp"

namespace py = pybind11;
namespace sql_parsing = orvane::sql_parsing;

namespace python_bindings {

void register_sql_lineage(py::module_& module) {
  using sql_parsing::ColumnInvolved;
  using sql_parsing::JoinInfo;
  using sql_parsing::SqlParsingResult;

  py::class_<ColumnInvolved>(module, "ColumnInvolved",
                             "One column a join condition names, with its table when traced.")
      .def_readonly("table", &ColumnInvolved::table)
      .def_readonly("column", &ColumnInvolved::column);

  py::class_<JoinInfo>(module, "JoinInfo",
                       "One JOIN of a SQL text: its kind, condition and the dataset URN texts of "
                       "the tables on each side.")
      .def_readonly("join_type", &JoinInfo::join_type)
      .def_readonly("left_tables", &JoinInfo::left_tables)
      .def_readonly("right_tables", &JoinInfo::right_tables)
      .def_readonly("on_clause", &JoinInfo::on_clause)
      .def_readonly("columns_involved", &JoinInfo::columns_involved);

  py::class_<SqlParsingResult>(module, "SqlParsingResult")
      .def_readonly("joins", &SqlParsingResult::joins)
      .def_readonly("error", &SqlParsingResult::error);

  module.def("parse_sql_lineage", &sql_parsing::parse_sql_lineage,
             py::call_guard<py::gil_scoped_release>(), py::arg("sql"), py::arg("platform"),
             py::arg("platform_instance") = py::none(), py::arg("default_db") = py::none(),
             py::arg("default_schema") = py::none(),
             "The joins of the SQL text in textual order; `joins` is None and `error` says why "
             "when the text cannot be parsed.");
}

}  // namespace python_bindings
