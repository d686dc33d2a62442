#include "tests/fakes/catalogue/internal/catalogue_schema.hpp"

#include <fmt/format.h>

#include <string>
#include <string_view>

#include "orvane/sdk/graphql_error.hpp"

namespace orvane::sdk::internal {
namespace {

struct FieldType {
  std::string_view field;
  std::string_view type;  // an object type below, or a scalar ("String", "Int", "JSON")
};

struct ObjectType {
  std::string_view name;
  std::vector<FieldType> fields;
};

const std::vector<ObjectType>& schema() {
  static const std::vector<ObjectType> types = {
      {"Query", {{"entity", "Entity"}, {"listQueries", "ListQueriesResult"}}},
      {"Entity", {{"urn", "String"}, {"aspects", "Aspect"}}},
      {"Aspect", {{"name", "String"}, {"value", "JSON"}}},
      {"ListQueriesResult",
       {{"start", "Int"}, {"count", "Int"}, {"total", "Int"}, {"queries", "QueryEntity"}}},
      {"QueryEntity", {{"urn", "String"}, {"subjects", "QuerySubject"}}},
      {"QuerySubject", {{"dataset", "Dataset"}, {"schemaField", "SchemaField"}}},
      {"Dataset", {{"urn", "String"}}},
      {"SchemaField", {{"urn", "String"}}},
  };
  return types;
}

const ObjectType* object_type(std::string_view name) {
  for (const ObjectType& type : schema()) {
    if (type.name == name) return &type;
  }
  return nullptr;
}

void check(const ObjectType& type, const std::vector<SelectedField>& selection,
           std::vector<std::string>& problems) {
  for (const SelectedField& selected : selection) {
    if (selected.name == "__typename") continue;
    const FieldType* field = nullptr;
    for (const FieldType& candidate : type.fields) {
      if (candidate.field == selected.name) field = &candidate;
    }
    if (field == nullptr) {
      problems.push_back(
          fmt::format("Cannot query field \"{}\" on type \"{}\".", selected.name, type.name));
      continue;
    }
    const ObjectType* field_type = object_type(field->type);
    if (field_type == nullptr && !selected.selection.empty()) {
      problems.push_back(
          fmt::format("Field \"{}\" must not have a selection since type \"{}\" has no subfields.",
                      selected.name, field->type));
    } else if (field_type != nullptr && selected.selection.empty()) {
      problems.push_back(
          fmt::format("Field \"{}\" of type \"{}\" must have a selection of subfields.",
                      selected.name, field->type));
    } else if (field_type != nullptr) {
      check(*field_type, selected.selection, problems);
    }
  }
}

}  // namespace

void check_selection(const std::vector<SelectedField>& root) {
  std::vector<std::string> problems;
  check(*object_type("Query"), root, problems);
  if (!problems.empty()) throw GraphQLError(std::move(problems));
}

}  // namespace orvane::sdk::internal
