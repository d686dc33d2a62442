// A missing primary key named by the LLM.
#include "orvane_semantic_agent/generate/generate.hpp"
#include "orvane_semantic_agent/generate/internal/prompts.hpp"
#include "platform/llm/structured_client.hpp"
#include "platform/log/log.hpp"

namespace orvane_semantic_agent::generate {

void SemanticModelGenerator::_ensure_primary_keys(LogicalTable& logical_table) {
  if (logical_table.primary_key) return;
  platform::log::debug("Inferring primary keys for {}", logical_table.name);
  const platform::llm::StructuredClient llm = platform::llm::from_litellm(module_->completion);
  const std::string prompt = internal::primary_key_prompt(logical_table.model_dump_json(2));
  const std::vector<std::string> columns = llm.create(
      internal::kLlmModel, platform::llm::list_of_texts(), internal::llm_messages(prompt));
  platform::Value::List column_values(columns.begin(), columns.end());
  logical_table.primary_key = semantic_model::PrimaryKey::model_validate(
      platform::Value::Map{{"columns", std::move(column_values)}});
}

}  // namespace orvane_semantic_agent::generate
