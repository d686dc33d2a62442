#include "orvane/sdk/entities.hpp"

#include <fmt/format.h>

#include "platform/errors/errors.hpp"

namespace orvane::sdk {

namespace models = metadata::schema_classes;

SchemaField::SchemaField(models::SchemaFieldClass base)
    : field_path(base.fieldPath),
      native_type(base.nativeDataType),
      description(base.description),
      mapped_type(base.type),
      base_(std::move(base)) {}

Dataset Entities::get(const metadata::urns::DatasetUrn& urn) const {
  std::optional<EntityAspects> aspects = graph_->get_entity_aspects(
      urn.urn(),
      {models::DatasetPropertiesClass::ASPECT_NAME, models::SchemaMetadataClass::ASPECT_NAME});
  if (!aspects) throw platform::LookupError(fmt::format("Dataset not found: {}", urn.urn()));

  Dataset dataset{.urn = urn};
  if (auto properties = aspects->get<models::DatasetPropertiesClass>()) {
    dataset.qualified_name = std::move(properties->qualifiedName);
    dataset.display_name = std::move(properties->name);
    dataset.description = std::move(properties->description);
  }
  if (auto schema = aspects->get<models::SchemaMetadataClass>()) {
    for (models::SchemaFieldClass& field : schema->fields) {
      dataset.schema.emplace_back(std::move(field));
    }
  }
  return dataset;
}

}  // namespace orvane::sdk
