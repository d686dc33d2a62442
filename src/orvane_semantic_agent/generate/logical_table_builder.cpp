// One catalogue dataset as one logical table of the model.

#include "orvane_semantic_agent/generate/generate.hpp"
#include "platform/errors/errors.hpp"
#include "platform/log/log.hpp"

namespace orvane_semantic_agent::generate {
namespace {

namespace models = orvane::metadata::schema_classes;
using namespace semantic_model;

// The qualified name split at its first two dots; a third part keeps any further dots.
std::vector<std::string> split_qualified_name(const std::string& qualified_name) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (parts.size() < 2) {
    const std::size_t dot = qualified_name.find('.', start);
    if (dot == std::string::npos) break;
    parts.push_back(qualified_name.substr(start, dot - start));
    start = dot + 1;
  }
  parts.push_back(qualified_name.substr(start));
  return parts;
}

const std::string& part(const std::vector<std::string>& parts, std::size_t index) {
  if (index >= parts.size()) throw platform::IndexError("list index out of range");
  return parts[index];
}

template <typename Column>
std::shared_ptr<Column> column_of(const orvane::sdk::SchemaField& field) {
  auto column = std::make_shared<Column>();
  column->name = field.field_path;
  column->expr = field.field_path;
  column->data_type = field.native_type;
  column->description = field.description;
  return column;
}

}  // namespace

std::shared_ptr<LogicalTable> SemanticModelGenerator::build_logical_table(const DatasetUrn& urn) {
  if (const auto found = logical_table_memo_.find(urn); found != logical_table_memo_.end()) {
    return found->second;
  }
  platform::log::debug("Building logical table for {}", urn);
  const orvane::sdk::Dataset dataset = client.entities().get(urn);
  platform::check(dataset.qualified_name.has_value());
  const std::vector<std::string> parts = split_qualified_name(*dataset.qualified_name);

  std::vector<std::string> key_columns;
  for (const orvane::sdk::SchemaField& field : dataset.schema) {
    if (field._base_schema_field().isPartOfKey) key_columns.push_back(field.field_path);
  }

  std::vector<std::shared_ptr<TimeDimension>> time_dimensions;
  std::vector<std::shared_ptr<Dimension>> dimensions;
  std::vector<std::shared_ptr<Fact>> facts;
  for (const orvane::sdk::SchemaField& field : dataset.schema) {
    const models::SchemaTypeClass& type = *field.mapped_type.type;
    if (type.is<models::TimeTypeClass>() || type.is<models::DateTypeClass>()) {
      time_dimensions.push_back(column_of<TimeDimension>(field));
    } else if (type.is<models::NumberTypeClass>()) {
      facts.push_back(column_of<Fact>(field));
    } else {
      auto dimension = column_of<Dimension>(field);
      dimension->is_enum = type.is<models::EnumTypeClass>() || type.is<models::BooleanTypeClass>();
      dimensions.push_back(std::move(dimension));
    }
  }

  auto table = std::make_shared<LogicalTable>();
  table->name = dataset.display_name && !dataset.display_name->empty() ? *dataset.display_name
                                                                       : dataset.urn.name();
  table->description = dataset.description;
  table->base_table = std::make_shared<BaseTable>();
  table->base_table->database = part(parts, 0);
  table->base_table->schema_name = part(parts, 1);
  table->base_table->table = part(parts, 2);
  if (!key_columns.empty()) {
    table->primary_key = std::make_shared<PrimaryKey>();
    table->primary_key->columns = std::move(key_columns);
  }
  table->dimensions = std::move(dimensions);
  table->time_dimensions = std::move(time_dimensions);
  table->facts = std::move(facts);
  logical_table_memo_.emplace(urn, table);
  return table;
}

}  // namespace orvane_semantic_agent::generate
