// Typed entity reads: `client.entities().get(dataset_urn)` gives the dataset entity.
//
//   Dataset dataset = client.entities().get(DatasetUrn::from_string(text));
//   dataset.qualified_name;                          // "db.sales.orders", or none
//   for (const SchemaField& field : dataset.schema) {
//     field.field_path; field.native_type; field.description;
//     field.mapped_type.type->is<schema_classes::NumberTypeClass>();
//     field._base_schema_field().isPartOfKey;
//   }
//
// `get` throws platform::LookupError "Dataset not found: <urn>" when the catalogue does not know
// the dataset, and the graph's errors otherwise (orvane_graph.hpp). Thread-safe when the graph is.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "orvane/metadata/schema_classes.hpp"
#include "orvane/metadata/urns.hpp"
#include "orvane/sdk/orvane_graph.hpp"

namespace orvane::sdk {

// One field of a dataset's schema.
class SchemaField {
 public:
  explicit SchemaField(metadata::schema_classes::SchemaFieldClass base);

  std::string field_path;
  std::string native_type;  // the type as the source database writes it
  std::optional<std::string> description;
  metadata::schema_classes::SchemaFieldDataTypeClass mapped_type;

  // The field as the catalogue stores it (with `isPartOfKey`).
  const metadata::schema_classes::SchemaFieldClass& _base_schema_field() const { return base_; }

 private:
  metadata::schema_classes::SchemaFieldClass base_;
};

// A dataset entity, from its "datasetProperties" and "schemaMetadata" aspects.
struct Dataset {
  metadata::urns::DatasetUrn urn;
  std::optional<std::string> qualified_name;  // "<database>.<schema>.<table>"
  std::optional<std::string> display_name;
  std::optional<std::string> description;
  std::vector<SchemaField> schema;  // in the catalogue's order; empty without a schema
};

class Entities {
 public:
  explicit Entities(std::shared_ptr<OrvaneGraph> graph) : graph_(std::move(graph)) {}

  Dataset get(const metadata::urns::DatasetUrn& urn) const;

 private:
  std::shared_ptr<OrvaneGraph> graph_;
};

}  // namespace orvane::sdk
