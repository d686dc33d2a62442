// Record validation, written once over any input tree: the records' own `model_validate` runs
// it over platform::Value trees, and a binding of the records to another language runs it over
// that language's objects.
//
//   std::shared_ptr<BaseTable> table = validation::validate<BaseTable>(MyNode(input));
//   validation::assign(field, MyNode(input), *table);   // one field, by its rules
//
// Both throw one platform::ValidationError listing every failure of the tree.
//
// A `Node` is a view of one input value. It offers:
//   bool is_null() const;
//   std::optional<std::string> text() const;          // text only
//   std::optional<bool> boolean() const;               // booleans only
//   std::optional<std::vector<Node>> elements() const; // a list
//   bool is_map() const;
//   std::optional<Node> get(std::string_view key) const;
//   template <typename R> std::shared_ptr<R> record() const;  // an existing record, else null
//   std::optional<platform::Value> any(Failures&) const;      // any value, kept unchanged
//   std::string describe() const;                             // for failure texts
#pragma once

#include <algorithm>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <vector>

#include "orvane_semantic_agent/semantic_model/record.hpp"
#include "orvane_semantic_agent/semantic_model/validation_failures.hpp"
#include "platform/value/value.hpp"

namespace orvane_semantic_agent::semantic_model::validation {

template <typename T>
struct Optional {
  using Stored = T;
};
template <typename T>
struct Optional<std::optional<T>> {
  using Stored = T;
};
// The type a field holds once it is not null: T for std::optional<T>, the type itself otherwise.
template <typename T>
using Stored = typename Optional<T>::Stored;

template <typename T>
struct IsSharedRecord : std::false_type {};
template <typename R>
struct IsSharedRecord<std::shared_ptr<R>> : std::true_type {};

template <typename T>
struct IsList : std::false_type {};
template <typename E>
struct IsList<std::vector<E>> : std::true_type {};

std::string one_of_text(std::span<const std::string_view> allowed);

template <typename T, typename Node>
std::optional<T> convert(const Node& node, Failures& failures,
                         std::span<const std::string_view> allowed = {});

template <typename R, typename Node>
std::shared_ptr<R> validate_record_map(const Node& map, Failures& failures);

// Stores `node` into the field, or records why it cannot be stored. Used for every field of a
// record build and for a single assignment by name.
template <typename R, typename M, typename Node>
void assign_field(const Field<R, M>& field, const Node& node, R& record, Failures& failures) {
  if (node.is_null() && !field.required()) {
    record.*field.member = M{};
    return;
  }
  if (auto converted = convert<Stored<M>>(node, failures, field.allowed)) {
    record.*field.member = std::move(*converted);
  }
}

template <typename R, typename M, typename Node>
void validate_field(const Field<R, M>& field, const Node& map, R& record, Failures& failures) {
  const Failures::Scope scope(failures, field.key);
  const std::optional<Node> node = map.get(field.key);
  if (node) {
    assign_field(field, *node, record, failures);
  } else if (field.required()) {
    failures.add("missing field", map.describe());
  }
}

template <typename R, typename Node>
std::shared_ptr<R> validate_record_map(const Node& map, Failures& failures) {
  auto record = std::make_shared<R>();
  const std::size_t failures_before = failures.count();
  std::apply([&](const auto&... field) { (validate_field(field, map, *record, failures), ...); },
             R::fields());
  if (failures.count() != failures_before) return nullptr;
  return record;
}

template <typename T, typename Node>
std::optional<T> convert(const Node& node, Failures& failures,
                         std::span<const std::string_view> allowed) {
  if constexpr (std::is_same_v<T, std::string>) {
    std::optional<std::string> text = node.text();
    if (!text) {
      failures.add("expected text", node.describe());
    } else if (!allowed.empty() &&
               std::find(allowed.begin(), allowed.end(), *text) == allowed.end()) {
      failures.add("expected " + one_of_text(allowed), node.describe());
      text.reset();
    }
    return text;
  } else if constexpr (std::is_same_v<T, bool>) {
    const std::optional<bool> boolean = node.boolean();
    if (!boolean) failures.add("expected a boolean", node.describe());
    return boolean;
  } else if constexpr (std::is_same_v<T, platform::Value>) {
    return node.any(failures);
  } else if constexpr (IsSharedRecord<T>::value) {
    using R = typename T::element_type;
    if (auto existing = node.template record<R>()) return existing;
    if (!node.is_map()) {
      failures.add("expected a map or a " + std::string(R::kRecordName) + " record",
                   node.describe());
      return std::nullopt;
    }
    if (auto built = validate_record_map<R>(node, failures)) return built;
    return std::nullopt;
  } else {
    static_assert(IsList<T>::value, "unsupported field type");
    using Element = typename T::value_type;
    const auto elements = node.elements();
    if (!elements) {
      failures.add("expected a list", node.describe());
      return std::nullopt;
    }
    T list;
    list.reserve(elements->size());
    const std::size_t failures_before = failures.count();
    for (std::size_t index = 0; index < elements->size(); ++index) {
      const Failures::Scope scope(failures, std::to_string(index));
      if (auto element = convert<Element>((*elements)[index], failures)) {
        list.push_back(std::move(*element));
      }
    }
    if (failures.count() != failures_before) return std::nullopt;
    return list;
  }
}

// Builds the record `R` from `node` (a map or an existing record), throwing one
// platform::ValidationError with every failure of the tree.
template <typename R, typename Node>
std::shared_ptr<R> validate(const Node& node) {
  Failures failures;
  auto record = convert<std::shared_ptr<R>>(node, failures);
  if (!record) failures.raise(R::kRecordName);
  return *record;
}

// Assigns `node` to one field of `record`, converting it by the field's rules (a map becomes a
// new record, a record is shared, nothing else is checked). Throws platform::ValidationError
// when the value cannot be stored, leaving the field unchanged.
template <typename R, typename M, typename Node>
void assign(const Field<R, M>& field, const Node& node, R& record) {
  Failures failures;
  {
    const Failures::Scope scope(failures, field.name);
    assign_field(field, node, record, failures);
  }
  if (failures.count() > 0) failures.raise(R::kRecordName);
}

}  // namespace orvane_semantic_agent::semantic_model::validation
