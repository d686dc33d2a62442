// The validation input view (see ../record_validation.hpp) of a platform::Value tree.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "orvane_semantic_agent/semantic_model/validation_failures.hpp"
#include "platform/value/value.hpp"

namespace orvane_semantic_agent::semantic_model::internal {

class ValueNode {
 public:
  explicit ValueNode(const platform::Value& value) : value_(&value) {}

  bool is_null() const { return value_->is_null(); }
  bool is_map() const { return value_->is_map(); }

  std::optional<std::string> text() const {
    if (!value_->is_string()) return std::nullopt;
    return value_->as_string();
  }

  std::optional<bool> boolean() const {
    if (!value_->is_bool()) return std::nullopt;
    return value_->as_bool();
  }

  std::optional<std::vector<ValueNode>> elements() const {
    if (!value_->is_list()) return std::nullopt;
    std::vector<ValueNode> nodes;
    nodes.reserve(value_->as_list().size());
    for (const platform::Value& element : value_->as_list()) nodes.emplace_back(element);
    return nodes;
  }

  std::optional<ValueNode> get(std::string_view key) const {
    const platform::Value* found = value_->find(key);
    if (found == nullptr) return std::nullopt;
    return ValueNode(*found);
  }

  // A plain tree holds no records.
  template <typename R>
  std::shared_ptr<R> record() const {
    return nullptr;
  }

  std::optional<platform::Value> any(validation::Failures&) const { return *value_; }

  std::string describe() const { return validation::describe(*value_); }

 private:
  const platform::Value* value_;
};

}  // namespace orvane_semantic_agent::semantic_model::internal
