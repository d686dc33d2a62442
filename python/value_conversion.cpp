#include "python/value_conversion.hpp"

// clang-format off
#include <Python.h>
#include <datetime.h>
// clang-format on

#include <string>

#include "platform/errors/errors.hpp"

namespace py = pybind11;

namespace python_bindings {
namespace {

void ensure_datetime_api() {
  if (PyDateTimeAPI == nullptr) {
    PyDateTime_IMPORT;
    if (PyDateTimeAPI == nullptr) throw py::error_already_set();
  }
}

py::object checked(PyObject* created) {
  if (created == nullptr) throw py::error_already_set();
  return py::reinterpret_steal<py::object>(created);
}

py::object datetime_to_python(const platform::DateTime& value) {
  const platform::Date& date = value.date;
  if (!value.utc_offset_minutes) {
    return checked(PyDateTime_FromDateAndTime(date.year, date.month, date.day, value.hour,
                                              value.minute, value.second, value.microsecond));
  }
  const py::object offset = checked(PyDelta_FromDSU(0, *value.utc_offset_minutes * 60, 0));
  const py::object zone = checked(PyTimeZone_FromOffset(offset.ptr()));
  return checked(PyDateTimeAPI->DateTime_FromDateAndTime(
      date.year, date.month, date.day, value.hour, value.minute, value.second, value.microsecond,
      zone.ptr(), PyDateTimeAPI->DateTimeType));
}

platform::DateTime datetime_from_python(py::handle object) {
  platform::DateTime value{
      .date = {PyDateTime_GET_YEAR(object.ptr()), PyDateTime_GET_MONTH(object.ptr()),
               PyDateTime_GET_DAY(object.ptr())},
      .hour = PyDateTime_DATE_GET_HOUR(object.ptr()),
      .minute = PyDateTime_DATE_GET_MINUTE(object.ptr()),
      .second = PyDateTime_DATE_GET_SECOND(object.ptr()),
      .microsecond = PyDateTime_DATE_GET_MICROSECOND(object.ptr()),
  };
  const py::object offset = object.attr("utcoffset")();
  if (!offset.is_none()) {
    const double seconds = offset.attr("total_seconds")().cast<double>();
    const long whole = static_cast<long>(seconds);
    if (whole != seconds || whole % 60 != 0) {
      throw platform::ValueError("a datetime's UTC offset must be whole minutes");
    }
    value.utc_offset_minutes = static_cast<int>(whole / 60);
  }
  return value;
}

platform::Value int_from_python(py::handle object) {
  int overflow = 0;
  const long long number = PyLong_AsLongLongAndOverflow(object.ptr(), &overflow);
  if (overflow != 0) return platform::BigInt{py::str(object).cast<std::string>()};
  if (number == -1 && PyErr_Occurred()) throw py::error_already_set();
  return static_cast<std::int64_t>(number);
}

}  // namespace

py::object to_python(const platform::Value& value) {
  ensure_datetime_api();
  if (value.is_null()) return py::none();
  if (value.is_bool()) return py::bool_(value.as_bool());
  if (value.is_int()) return py::int_(value.as_int());
  if (value.is_big_int()) {
    return checked(PyLong_FromString(value.as_big_int().digits.c_str(), nullptr, 10));
  }
  if (value.is_double()) return py::float_(value.as_double());
  if (value.is_string()) return py::str(value.as_string());
  if (value.is_date()) {
    const platform::Date& date = value.as_date();
    return checked(PyDate_FromDate(date.year, date.month, date.day));
  }
  if (value.is_datetime()) return datetime_to_python(value.as_datetime());
  if (value.is_list()) {
    py::list list;
    for (const platform::Value& element : value.as_list()) list.append(to_python(element));
    return list;
  }
  py::dict dict;
  for (const auto& [key, element] : value.as_map()) dict[py::str(key)] = to_python(element);
  return dict;
}

platform::Value from_python(py::handle object) {
  ensure_datetime_api();
  if (object.is_none()) return nullptr;
  if (PyBool_Check(object.ptr())) return object.ptr() == Py_True;
  if (PyLong_Check(object.ptr())) return int_from_python(object);
  if (PyFloat_Check(object.ptr())) return PyFloat_AS_DOUBLE(object.ptr());
  if (PyUnicode_Check(object.ptr())) return object.cast<std::string>();
  // A datetime is also a date, so it is tested first.
  if (PyDateTime_Check(object.ptr())) return datetime_from_python(object);
  if (PyDate_Check(object.ptr())) {
    return platform::Date{PyDateTime_GET_YEAR(object.ptr()), PyDateTime_GET_MONTH(object.ptr()),
                          PyDateTime_GET_DAY(object.ptr())};
  }
  if (PyList_Check(object.ptr()) || PyTuple_Check(object.ptr())) {
    platform::Value::List list;
    for (py::handle element : object) list.push_back(from_python(element));
    return list;
  }
  if (PyDict_Check(object.ptr())) {
    platform::Value::Map map;
    for (const auto& [key, element] : py::reinterpret_borrow<py::dict>(object)) {
      if (!PyUnicode_Check(key.ptr())) throw platform::ValueError("map keys must be text");
      map.emplace_back(key.cast<std::string>(), from_python(element));
    }
    return map;
  }
  throw platform::ValueError(
      "unsupported value of type " +
      py::str(py::type::handle_of(object).attr("__name__")).cast<std::string>());
}

}  // namespace python_bindings
