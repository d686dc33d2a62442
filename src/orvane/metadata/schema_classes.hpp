// The catalogue's schema classes: the column type classes and the aspects this system reads.
//
// A schema field's parsed type (`SchemaFieldDataTypeClass::type`) is an instance of exactly one
// column type class, tested with `is<...>()`:
//
//   namespace models = orvane::metadata::schema_classes;
//   const models::SchemaTypeClass& type = *field.mapped_type.type;
//   if (type.is<models::TimeTypeClass>() || type.is<models::DateTypeClass>()) { ... }
//
// Aspects are plain records named as the catalogue names them (`ASPECT_NAME`); their wire form
// is described in docs/catalogue.md. Everything here is an immutable value once built, safe to
// share between threads.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvane::metadata::schema_classes {

// Base of the column type classes.
class SchemaTypeClass {
 public:
  virtual ~SchemaTypeClass() = default;
  // The type's name on the wire, e.g. "NUMBER".
  virtual std::string_view type_name() const = 0;

  template <typename Type>
  bool is() const {
    return dynamic_cast<const Type*>(this) != nullptr;
  }
};

template <typename Self>
class NamedSchemaType : public SchemaTypeClass {
 public:
  std::string_view type_name() const override { return Self::TYPE_NAME; }
};

#define ORVANE_SCHEMA_TYPE(Class, name)                 \
  class Class final : public NamedSchemaType<Class> {   \
   public:                                              \
    static constexpr std::string_view TYPE_NAME = name; \
  }

ORVANE_SCHEMA_TYPE(BooleanTypeClass, "BOOLEAN");
ORVANE_SCHEMA_TYPE(FixedTypeClass, "FIXED");
ORVANE_SCHEMA_TYPE(StringTypeClass, "STRING");
ORVANE_SCHEMA_TYPE(BytesTypeClass, "BYTES");
ORVANE_SCHEMA_TYPE(NumberTypeClass, "NUMBER");
ORVANE_SCHEMA_TYPE(DateTypeClass, "DATE");
ORVANE_SCHEMA_TYPE(TimeTypeClass, "TIME");
ORVANE_SCHEMA_TYPE(EnumTypeClass, "ENUM");
ORVANE_SCHEMA_TYPE(NullTypeClass, "NULL");
ORVANE_SCHEMA_TYPE(MapTypeClass, "MAP");
ORVANE_SCHEMA_TYPE(ArrayTypeClass, "ARRAY");
ORVANE_SCHEMA_TYPE(UnionTypeClass, "UNION");
ORVANE_SCHEMA_TYPE(RecordTypeClass, "RECORD");

#undef ORVANE_SCHEMA_TYPE

// The column type class of a wire name ("NUMBER" gives a NumberTypeClass). Throws
// platform::ValueError naming the text when no class has that name.
std::shared_ptr<const SchemaTypeClass> make_schema_type(std::string_view type_name);

// A schema field's type, as the field's `mapped_type`.
struct SchemaFieldDataTypeClass {
  std::shared_ptr<const SchemaTypeClass> type;
};

// One field of a dataset's schema, as the catalogue stores it.
struct SchemaFieldClass {
  std::string fieldPath;
  std::string nativeDataType;
  SchemaFieldDataTypeClass type;
  std::optional<std::string> description;
  bool isPartOfKey = false;
};

// Aspect "schemaMetadata": the dataset's fields in the catalogue's order.
struct SchemaMetadataClass {
  static constexpr std::string_view ASPECT_NAME = "schemaMetadata";
  std::vector<SchemaFieldClass> fields;
};

// Aspect "datasetProperties".
struct DatasetPropertiesClass {
  static constexpr std::string_view ASPECT_NAME = "datasetProperties";
  std::optional<std::string> name;           // the display name
  std::optional<std::string> qualifiedName;  // "<database>.<schema>.<table>"
  std::optional<std::string> description;
};

// Aspect "usageFeatures".
struct UsageFeaturesClass {
  static constexpr std::string_view ASPECT_NAME = "usageFeatures";
  // The dataset's percentile (0 to 100) among datasets by query count over the last 30 days.
  std::optional<double> queryCountPercentileLast30Days;
};

struct QueryStatementClass {
  std::string value;  // the SQL text
};

// Aspect "queryProperties" of a query entity.
struct QueryPropertiesClass {
  static constexpr std::string_view ASPECT_NAME = "queryProperties";
  QueryStatementClass statement;
};

// Aspect "dataPlatformInstance": where an entity lives.
struct DataPlatformInstanceClass {
  static constexpr std::string_view ASPECT_NAME = "dataPlatformInstance";
  std::string platform;                 // a data platform urn text
  std::optional<std::string> instance;  // the platform instance, when there is one
};

}  // namespace orvane::metadata::schema_classes
