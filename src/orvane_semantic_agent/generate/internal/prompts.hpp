// The texts the generator sends to the LLM.
#pragma once

#include <string>
#include <string_view>

#include "platform/value/value.hpp"

namespace orvane_semantic_agent::generate::internal {

inline constexpr std::string_view kLlmModel = "gpt-4o-mini";

inline constexpr std::string_view kSystemMessage =
    "You are an assistant that's an expert in data modeling and SQL, and are working to "
    "understand a customer environment.";

// The relationship question about the tables (a JSON array) and their example SQL.
std::string relationship_prompt(std::string_view tables, std::string_view example_sqls);

// The primary key question about one table (its indented JSON form).
std::string primary_key_prompt(std::string_view logical_table);

// The two messages of every LLM call: a fresh system message, then `prompt` as the user's.
platform::Value::List llm_messages(std::string prompt);

}  // namespace orvane_semantic_agent::generate::internal
