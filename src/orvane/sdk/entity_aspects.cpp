#include "orvane/sdk/entity_aspects.hpp"

#include <fmt/format.h>

#include "orvane/sdk/internal/answer_reader.hpp"
#include "platform/errors/errors.hpp"

namespace orvane::sdk {

namespace models = metadata::schema_classes;
using platform::Value;

const Value* EntityAspects::find(std::string_view aspect_name) const {
  for (const auto& [name, value] : aspects_) {
    if (name == aspect_name) return value.is_null() ? nullptr : &value;
  }
  return nullptr;
}

std::string EntityAspects::where(std::string_view aspect_name) const {
  return fmt::format("aspect \"{}\" of {}", aspect_name, urn_);
}

template <>
models::UsageFeaturesClass decode_aspect(const Value& value, std::string_view where) {
  return {.queryCountPercentileLast30Days =
              internal::optional_number(value, "queryCountPercentileLast30Days", where)};
}

template <>
models::QueryPropertiesClass decode_aspect(const Value& value, std::string_view where) {
  const Value& statement = internal::required_field(value, "statement", where);
  return {.statement = {.value = internal::required_text(
                            statement, "value", fmt::format("{}: field \"statement\"", where))}};
}

template <>
models::DataPlatformInstanceClass decode_aspect(const Value& value, std::string_view where) {
  return {.platform = internal::required_text(value, "platform", where),
          .instance = internal::optional_text(value, "instance", where)};
}

template <>
models::DatasetPropertiesClass decode_aspect(const Value& value, std::string_view where) {
  return {.name = internal::optional_text(value, "name", where),
          .qualifiedName = internal::optional_text(value, "qualifiedName", where),
          .description = internal::optional_text(value, "description", where)};
}

namespace {

models::SchemaFieldClass decode_field(const Value& value, const std::string& where) {
  const std::string type_name = internal::required_text(value, "type", where);
  models::SchemaFieldDataTypeClass type;
  try {
    type.type = models::make_schema_type(type_name);
  } catch (const platform::ValueError& error) {
    internal::fail_malformed(where, error.what());
  }
  return {.fieldPath = internal::required_text(value, "fieldPath", where),
          .nativeDataType = internal::required_text(value, "nativeDataType", where),
          .type = std::move(type),
          .description = internal::optional_text(value, "description", where),
          .isPartOfKey = internal::optional_flag(value, "isPartOfKey", where)};
}

}  // namespace

template <>
models::SchemaMetadataClass decode_aspect(const Value& value, std::string_view where) {
  models::SchemaMetadataClass schema;
  const Value* fields = internal::optional_field(value, "fields", where);
  if (fields == nullptr) return schema;
  const Value::List& list = internal::as_list(*fields, fmt::format("{}: field \"fields\"", where));
  for (std::size_t i = 0; i < list.size(); ++i) {
    schema.fields.push_back(decode_field(list[i], fmt::format("{}: fields[{}]", where, i)));
  }
  return schema;
}

}  // namespace orvane::sdk
