// Conversions between Python objects and `platform::Value` trees.
//
// None, bool, int (any size; beyond 64 bits a BigInt), float, str, datetime.date,
// datetime.datetime (naive or with a whole-minute UTC offset), list and tuple, dict with str keys.
#pragma once

#include <pybind11/pybind11.h>

#include "platform/value/value.hpp"

namespace python_bindings {

pybind11::object to_python(const platform::Value& value);

// Throws platform::ValueError for an object of any other type (a set, a record, a dict with a
// non-text key, a datetime whose offset is not whole minutes).
platform::Value from_python(pybind11::handle object);

}  // namespace python_bindings
