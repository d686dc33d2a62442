// One join group's mined joins turned into one relationship by the LLM.
#include <algorithm>

#include "orvane/utilities/ordered_set.hpp"
#include "orvane_semantic_agent/generate/generate.hpp"
#include "orvane_semantic_agent/generate/internal/prompts.hpp"
#include "orvane_semantic_agent/generate/module_values.hpp"
#include "platform/llm/structured_client.hpp"

namespace orvane_semantic_agent::generate {
namespace {

using platform::Value;
using platform::llm::TypeSpec;

std::vector<std::string> allowed(std::span<const std::string_view> texts) {
  return {texts.begin(), texts.end()};
}

// The answer the LLM must give, its allowed values those of the model's records.
const TypeSpec& join_relationship() {
  static const TypeSpec type = TypeSpec::record(
      "JoinRelationship",
      {{"description", TypeSpec::text()},
       {"relationship_type", TypeSpec::one_of(allowed(semantic_model::kRelationshipTypes))},
       {"join_type", TypeSpec::one_of(allowed(semantic_model::kJoinTypes))},
       {"left_table", TypeSpec::text()},
       {"right_table", TypeSpec::text()},
       {"relationship_columns", TypeSpec::list_of(TypeSpec::record(
                                    "RelationshipColumn", {{"left_column", TypeSpec::text()},
                                                           {"right_column", TypeSpec::text()}}))}});
  return type;
}

// A text's length in characters (code points) of its UTF-8, not in bytes: SQL with names in
// other scripts must sort as it would by characters.
std::size_t characters(const std::string& text) {
  return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }));
}

// The distinct query texts, shortest first (first-seen order among equal lengths), as many as
// fit the token budget; the first that does not fit ends the selection.
std::string example_sqls(const std::vector<SourcedJoinInfo>& joins) {
  orvane::utilities::OrderedSet<std::string> distinct;
  for (const SourcedJoinInfo& join : joins) distinct.add(join.query_text);
  std::vector<std::pair<std::size_t, const std::string*>> by_length;
  for (const std::string& text : distinct) by_length.emplace_back(characters(text), &text);
  std::stable_sort(by_length.begin(), by_length.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::string examples;
  std::size_t total = 0;
  for (const auto& [length, text] : by_length) {
    const std::size_t tokens = _token_count(*text);
    if (total + tokens > static_cast<std::size_t>(MAX_TOKENS_EXAMPLE_SQL)) break;
    total += tokens;
    if (!examples.empty()) examples += '\n';
    examples += "<example_sql>" + *text + "</example_sql>";
  }
  return examples;
}

}  // namespace

std::shared_ptr<semantic_model::Relationship>
SemanticModelGenerator::_infer_relationship_from_joins(const std::vector<SourcedJoinInfo>& joins) {
  const platform::llm::StructuredClient llm = platform::llm::from_litellm(module_->completion);

  orvane::utilities::OrderedSet<std::string> table_urns;
  for (const SourcedJoinInfo& sourced : joins) {
    table_urns.add_all(sourced.join.left_tables);
    table_urns.add_all(sourced.join.right_tables);
  }
  std::vector<std::shared_ptr<LogicalTable>> tables;
  for (const std::string& urn : table_urns) {
    tables.push_back(build_logical_table(DatasetUrn::from_string(urn)));
  }

  const std::string prompt =
      internal::relationship_prompt(semantic_model::model_dump_json(tables), example_sqls(joins));
  const Value answer =
      llm.create(internal::kLlmModel, join_relationship(), internal::llm_messages(prompt));

  const std::string& left_table = answer.find("left_table")->as_string();
  const std::string& right_table = answer.find("right_table")->as_string();
  return Relationship::model_validate(Value::Map{
      {"name", left_table + " -> " + right_table + ": " + answer.find("description")->as_string()},
      {"left_table", left_table},
      {"right_table", right_table},
      {"relationship_columns", *answer.find("relationship_columns")},
      {"join_type", *answer.find("join_type")},
      {"relationship_type", *answer.find("relationship_type")},
  });
}

}  // namespace orvane_semantic_agent::generate
