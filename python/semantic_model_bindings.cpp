// Each record's Python class is derived from its field table: construction by keyword and
// model_validate run the C++ validation over Python objects, so records passed in are shared.
#include "python/bindings.hpp"

#include <pybind11/stl.h>

#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "orvane_semantic_agent/semantic_model/record_validation.hpp"
#include "orvane_semantic_agent/semantic_model/semantic_model.hpp"
#include "platform/errors/errors.hpp"
#include "python/value_conversion.hpp"

namespace py = pybind11;
namespace sm = orvane_semantic_agent::semantic_model;

namespace python_bindings {
namespace {

// The validation input view (see record_validation.hpp) of a Python object.
class PyNode {
 public:
  explicit PyNode(py::handle object) : object_(py::reinterpret_borrow<py::object>(object)) {}

  bool is_null() const { return object_.is_none(); }
  bool is_map() const { return PyDict_Check(object_.ptr()); }

  std::optional<std::string> text() const {
    if (!PyUnicode_Check(object_.ptr())) return std::nullopt;
    return object_.cast<std::string>();
  }

  std::optional<bool> boolean() const {
    if (!PyBool_Check(object_.ptr())) return std::nullopt;
    return object_.ptr() == Py_True;
  }

  std::optional<std::vector<PyNode>> elements() const {
    if (!PyList_Check(object_.ptr()) && !PyTuple_Check(object_.ptr())) return std::nullopt;
    std::vector<PyNode> nodes;
    for (py::handle element : object_) nodes.emplace_back(element);
    return nodes;
  }

  std::optional<PyNode> get(std::string_view key) const {
    const py::str name(key.data(), key.size());
    PyObject* found = PyDict_GetItemWithError(object_.ptr(), name.ptr());
    if (found == nullptr) {
      if (PyErr_Occurred()) throw py::error_already_set();
      return std::nullopt;
    }
    return PyNode(found);
  }

  template <typename R>
  std::shared_ptr<R> record() const {
    if (!py::isinstance<R>(object_)) return nullptr;
    return object_.cast<std::shared_ptr<R>>();
  }

  std::optional<platform::Value> any(sm::validation::Failures& failures) const {
    try {
      return from_python(object_);
    } catch (const platform::ValueError& error) {
      failures.add(error.what(), describe());
      return std::nullopt;
    }
  }

  std::string describe() const {
    try {
      return sm::validation::describe(from_python(object_));
    } catch (const platform::ValueError&) {
      return sm::validation::shorten(py::repr(object_).cast<std::string>());
    }
  }

 private:
  py::object object_;
};

template <typename T>
py::object member_to_python(const T& member) {
  if constexpr (!std::is_same_v<T, sm::validation::Stored<T>>) {
    return member ? member_to_python(*member) : py::none();
  } else if constexpr (std::is_same_v<T, std::string>) {
    return py::str(member);
  } else if constexpr (std::is_same_v<T, bool>) {
    return py::bool_(member);
  } else if constexpr (std::is_same_v<T, platform::Value>) {
    return to_python(member);
  } else if constexpr (sm::validation::IsSharedRecord<T>::value) {
    return member ? py::cast(member) : py::none();
  } else {
    py::list list;
    for (const auto& element : member) list.append(member_to_python(element));
    return list;
  }
}

template <typename R>
py::class_<R, std::shared_ptr<R>> bind_record(py::module_& module) {
  py::class_<R, std::shared_ptr<R>> cls(module, R::kRecordName.data());
  cls.def(py::init(
      [](const py::kwargs& values) { return sm::validation::validate<R>(PyNode(values)); }));
  cls.def_static(
      "model_validate",
      [](const py::object& value) { return sm::validation::validate<R>(PyNode(value)); },
      py::arg("obj"));
  cls.def(
      "model_dump",
      [](const R& record, const std::string& mode, bool exclude_defaults) {
        if (mode != "json") throw py::value_error("only mode 'json' is supported");
        return to_python(record.model_dump(exclude_defaults));
      },
      py::kw_only(), py::arg("mode") = "json", py::arg("exclude_defaults") = false);
  cls.def("model_dump_json", &R::model_dump_json, py::kw_only(), py::arg("indent") = py::none(),
          py::arg("exclude_defaults") = false);
  std::apply(
      [&](const auto&... field) {
        (cls.def_property(
             field.name.data(),
             [field](const R& record) { return member_to_python(record.*field.member); },
             [field](R& record, const py::object& value) {
               sm::validation::assign(field, PyNode(value), record);
             }),
         ...);
      },
      R::fields());
  return cls;
}

}  // namespace

void register_semantic_model(py::module_& module) {
  bind_record<sm::BaseTable>(module);
  bind_record<sm::PrimaryKey>(module);
  bind_record<sm::CortexSearchService>(module);
  bind_record<sm::Dimension>(module);
  bind_record<sm::TimeDimension>(module);
  bind_record<sm::Fact>(module);
  bind_record<sm::Filter>(module);
  bind_record<sm::Metric>(module);
  bind_record<sm::RelationshipColumn>(module);
  bind_record<sm::Relationship>(module);
  bind_record<sm::LogicalTable>(module);
  bind_record<sm::SemanticModel>(module)
      .def("to_yaml", &sm::SemanticModel::to_yaml)
      .def_static(
          "from_yaml", [](std::string_view text) { return sm::SemanticModel::from_yaml(text); },
          py::arg("yaml_text"));
}

}  // namespace python_bindings
