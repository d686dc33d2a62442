// `EntityAspects`: one entity's aspects, by aspect name, as the catalogue gave them.
//
//   EntityAspects aspects = graph.get_entity_semityped("urn:orvane:query:q1");
//   if (auto properties = aspects.get<schema_classes::QueryPropertiesClass>()) {
//     properties->statement.value;   // the SQL text
//   }
//   aspects.find("queryProperties"); // the raw aspect, or nullptr
//
// A missing aspect reads as none. `get` decodes the aspect into its class and throws
// platform::RuntimeError ("Malformed catalogue answer: ...") when the aspect has the wrong shape.
// Supported classes: UsageFeaturesClass, QueryPropertiesClass, DataPlatformInstanceClass,
// DatasetPropertiesClass, SchemaMetadataClass. Immutable once built.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "orvane/metadata/schema_classes.hpp"
#include "platform/value/value.hpp"

namespace orvane::sdk {

// Decodes the wire form of an aspect (see docs/catalogue.md); `where` names it in error texts.
template <typename Aspect>
Aspect decode_aspect(const platform::Value& value, std::string_view where);

template <>
metadata::schema_classes::UsageFeaturesClass decode_aspect(const platform::Value&,
                                                           std::string_view);
template <>
metadata::schema_classes::QueryPropertiesClass decode_aspect(const platform::Value&,
                                                             std::string_view);
template <>
metadata::schema_classes::DataPlatformInstanceClass decode_aspect(const platform::Value&,
                                                                  std::string_view);
template <>
metadata::schema_classes::DatasetPropertiesClass decode_aspect(const platform::Value&,
                                                               std::string_view);
template <>
metadata::schema_classes::SchemaMetadataClass decode_aspect(const platform::Value&,
                                                            std::string_view);

class EntityAspects {
 public:
  EntityAspects() = default;
  // `urn` names the entity in error texts; `aspects` maps aspect names to their wire form.
  EntityAspects(std::string urn, platform::Value::Map aspects)
      : urn_(std::move(urn)), aspects_(std::move(aspects)) {}

  const std::string& urn() const { return urn_; }
  bool empty() const { return aspects_.empty(); }
  // The raw aspect; nullptr when absent (or null).
  const platform::Value* find(std::string_view aspect_name) const;

  template <typename Aspect>
  std::optional<Aspect> get() const {
    const platform::Value* value = find(Aspect::ASPECT_NAME);
    if (value == nullptr) return std::nullopt;
    return decode_aspect<Aspect>(*value, where(Aspect::ASPECT_NAME));
  }

 private:
  std::string where(std::string_view aspect_name) const;

  std::string urn_;
  platform::Value::Map aspects_;
};

}  // namespace orvane::sdk
