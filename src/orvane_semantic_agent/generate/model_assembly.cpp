// The finished model: the registered tables and the relationships that pass the key checks.
#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "orvane_semantic_agent/generate/generate.hpp"
#include "platform/errors/errors.hpp"
#include "platform/log/log.hpp"
#include "platform/pyrepr/python_repr.hpp"

namespace orvane_semantic_agent::generate {
namespace {

using semantic_model::LogicalTable;
using semantic_model::Relationship;

// The system's own text: the description every generated model carries, whatever its tables.
constexpr const char* kModelDescription = "TODO";

struct BadRelationship {
  std::size_t index;
  std::string message;
};

// Python's text of the list of (index, message) pairs: "[(0, 'Relationship ...')]".
std::string bad_relationships_text(const std::vector<BadRelationship>& bad) {
  std::string text = "[";
  for (std::size_t i = 0; i < bad.size(); ++i) {
    if (i > 0) text += ", ";
    text +=
        fmt::format("({}, {})", bad[i].index, platform::pyrepr::python_text_repr(bad[i].message));
  }
  return text + "]";
}

bool in_key(const LogicalTable& table, const std::string& column) {
  const auto& columns = table.primary_key->columns;
  return std::find(columns.begin(), columns.end(), column) != columns.end();
}

// The key and column checks of one relationship, each failure added to `bad`. A many-to-one
// relationship joins the left table's foreign key to the right table's key, so only its right
// columns must be key columns; a one-to-one relationship joins key to key on both sides.
void check_keys(std::size_t index, const Relationship& relationship, const LogicalTable& left,
                const LogicalTable& right, std::vector<BadRelationship>& bad) {
  const std::string& name = relationship.name;
  if (!left.primary_key) {
    bad.push_back(
        {index, "Relationship " + name + " left table " + left.name + " has no primary key"});
    return;
  }
  if (!right.primary_key) {
    bad.push_back(
        {index, "Relationship " + name + " right table " + right.name + " has no primary key"});
    return;
  }
  const bool check_left = relationship.relationship_type == "one_to_one";
  for (const auto& pair : relationship.relationship_columns) {
    if (check_left && !in_key(left, pair->left_column)) {
      bad.push_back({index, "Relationship " + name + " left table references column " +
                                pair->left_column + " that is not in the primary key"});
      return;
    }
    if (!in_key(right, pair->right_column)) {
      bad.push_back({index, "Relationship " + name + " right table references column " +
                                pair->right_column + " that is not in the primary key"});
    }
  }
}

}  // namespace

std::vector<std::shared_ptr<LogicalTable>> SemanticModelGenerator::get_tables() const {
  std::vector<std::shared_ptr<LogicalTable>> tables;
  tables.reserve(_registered_tables.size());
  for (const auto& [urn, table] : _registered_tables) tables.push_back(table);
  return tables;
}

std::vector<std::shared_ptr<Relationship>> SemanticModelGenerator::get_relationships() {
  std::vector<std::shared_ptr<Relationship>> relationships;
  for (const auto& [joined_tables, joins] : _joins) {
    const bool all_registered =
        std::all_of(joined_tables.begin(), joined_tables.end(),
                    [this](const DatasetUrn& urn) { return _registered_tables.contains(urn); });
    if (!all_registered) {
      platform::log::debug("Skipping relationship between {} because not all tables are registered",
                           joined_tables);
      continue;
    }
    relationships.push_back(_infer_relationship_from_joins(joins));
  }
  return relationships;
}

std::shared_ptr<semantic_model::SemanticModel> SemanticModelGenerator::get_semantic_model() {
  std::vector<std::shared_ptr<LogicalTable>> tables = get_tables();
  std::unordered_map<std::string, const LogicalTable*> tables_by_name;
  for (const auto& table : tables) tables_by_name[table->name] = table.get();

  const std::vector<std::shared_ptr<Relationship>> relationships = get_relationships();
  std::vector<BadRelationship> bad;
  for (std::size_t i = 0; i < relationships.size(); ++i) {
    const Relationship& relationship = *relationships[i];
    const auto left = tables_by_name.find(relationship.left_table);
    const auto right = tables_by_name.find(relationship.right_table);
    if (left == tables_by_name.end() || right == tables_by_name.end()) {
      throw platform::ValueError(
          fmt::format("Relationship {} references table that is not in the semantic model: {}", i,
                      relationship.name));
    }
    check_keys(i, relationship, *left->second, *right->second, bad);
  }
  platform::log::warning("Bad relationships: {}", bad_relationships_text(bad));

  std::unordered_set<std::size_t> dropped;
  for (const BadRelationship& entry : bad) dropped.insert(entry.index);
  std::vector<std::shared_ptr<Relationship>> kept;
  for (std::size_t i = 0; i < relationships.size(); ++i) {
    if (!dropped.contains(i)) kept.push_back(relationships[i]);
  }

  auto model = std::make_shared<semantic_model::SemanticModel>();
  model->name = "semantic_model";
  model->description = kModelDescription;
  model->tables = std::move(tables);
  model->relationships = std::move(kept);
  return model;
}

}  // namespace orvane_semantic_agent::generate
