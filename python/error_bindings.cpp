// Every C++ failure reaches Python as the Python exception of the same kind, with its message
// unchanged: `except LookupError` catches a platform::LookupError, `except KeyError` a
// platform::KeyError, and so on.
#include <pybind11/pybind11.h>

#include "platform/errors/errors.hpp"
#include "platform/snowflake/snowflake_error.hpp"
#include "python/bindings.hpp"

namespace py = pybind11;

namespace python_bindings {
namespace {

// The classes made here; they live as long as the interpreter (their modules hold them too).
struct OwnExceptions {
  PyObject* validation_error = nullptr;
  PyObject* yaml_error = nullptr;
  PyObject* snowflake_error = nullptr;
};

OwnExceptions& own_exceptions() {
  static OwnExceptions exceptions;
  return exceptions;
}

PyObject* new_exception(py::module_& module, const char* name, PyObject* base, const char* doc) {
  const std::string qualified = py::str(module.attr("__name__")).cast<std::string>() + "." + name;
  PyObject* type = PyErr_NewExceptionWithDoc(qualified.c_str(), doc, base, nullptr);
  if (type == nullptr) throw py::error_already_set();
  module.add_object(name, py::reinterpret_borrow<py::object>(type));
  return type;  // the reference from PyErr_NewExceptionWithDoc is kept for good
}

PyObject* python_kind(platform::ErrorKind kind) {
  switch (kind) {
    case platform::ErrorKind::kValueError:
      return PyExc_ValueError;
    case platform::ErrorKind::kValidationError:
      return own_exceptions().validation_error;
    case platform::ErrorKind::kAssertionError:
      return PyExc_AssertionError;
    case platform::ErrorKind::kLookupError:
      return PyExc_LookupError;
    case platform::ErrorKind::kKeyError:
      return PyExc_KeyError;
    case platform::ErrorKind::kIndexError:
      return PyExc_IndexError;
    case platform::ErrorKind::kRuntimeError:
      return PyExc_RuntimeError;
    case platform::ErrorKind::kNotImplementedError:
      return PyExc_NotImplementedError;
    case platform::ErrorKind::kYAMLError:
      return own_exceptions().yaml_error;
  }
  return PyExc_RuntimeError;
}

void raise_snowflake_error(const platform::snowflake::SnowflakeError& error) {
  py::object type = py::reinterpret_borrow<py::object>(own_exceptions().snowflake_error);
  py::object instance = type(error.what());
  instance.attr("code") = error.code();
  instance.attr("sql_state") = error.sql_state();
  instance.attr("query_id") = error.query_id();
  PyErr_SetObject(type.ptr(), instance.ptr());
}

}  // namespace

void register_errors(py::module_& semantic_model, py::module_& cortex) {
  OwnExceptions& exceptions = own_exceptions();
  exceptions.validation_error =
      new_exception(semantic_model, "ValidationError", PyExc_ValueError,
                    "A record built from bad values; the message lists every failing location.");
  exceptions.yaml_error =
      new_exception(semantic_model, "YAMLError", PyExc_Exception, "YAML text that cannot be read.");
  exceptions.snowflake_error = new_exception(
      cortex, "SnowflakeError", PyExc_RuntimeError,
      "A failure the warehouse or its connector reports. Attributes: code and sql_state (empty "
      "when the warehouse named none) and query_id; the message starts with them.");

  py::register_exception_translator([](std::exception_ptr thrown) {
    try {
      if (thrown) std::rethrow_exception(thrown);
    } catch (const platform::snowflake::SnowflakeError& error) {
      raise_snowflake_error(error);
    } catch (const platform::Error& error) {
      PyErr_SetString(python_kind(error.kind()), error.what());
    }
  });
}

}  // namespace python_bindings
