#include "orvane_semantic_agent/generate/internal/prompts.hpp"

namespace orvane_semantic_agent::generate::internal {

std::string relationship_prompt(std::string_view tables, std::string_view example_sqls) {
  std::string prompt =
      "Given the following two tables, your goal is to understand the data modeling relationship "
      "between them.\n"
      "You'll be given a number of example SQL statements that join the two tables.\n"
      "\n"
      "The extracted relationship information will serve as documentation for how other users "
      "should join the two tables.\n"
      "\n"
      "The left and right table names should correspond to table names in the logical_tables "
      "section.\n"
      "The left/right columns should also reference column names in the respective logical "
      "tables.\n"
      "For many-to-one relationships, the left table should be the many side of the "
      "relationship. For one-to-one relationships, the left table should be the first table "
      "listed.\n"
      "Be sure to include any additional usage notes in the description.\n"
      "\n"
      "<logical_tables>\n";
  prompt += tables;
  prompt +=
      "\n"
      "</logical_tables>\n"
      "\n"
      "<example_sqls>\n";
  prompt += example_sqls;
  prompt +=
      "\n"
      "</example_sqls>\n"
      "\n";
  return prompt;
}

std::string primary_key_prompt(std::string_view logical_table) {
  std::string prompt =
      "Given the following information about a logical table, determine the primary key "
      "column(s).\n"
      "There will typically be one primary key column, but there may be multiple if the table "
      "has a composite primary key. There will always be at least one primary key column.\n"
      "Columns that are foreign keys to other tables are usually not part of the primary key. In "
      "other words, we're looking for the columns that uniquely identify each row in the table - "
      "the grain of the table.\n"
      "The primary key column name(s) must be valid column names in the logical table.\n"
      "\n"
      "This information will be used to ensure that the table is used correctly in SQL "
      "queries.\n"
      "\n"
      "<logical_table>\n";
  prompt += logical_table;
  prompt +=
      "\n"
      "</logical_table>\n"
      "\n"
      "When unsure, pick the most likely candidates. Respond with only the column names, and no "
      "other text.\n";
  return prompt;
}

platform::Value::List llm_messages(std::string prompt) {
  return {platform::Value::Map{{"role", "system"}, {"content", kSystemMessage}},
          platform::Value::Map{{"role", "user"}, {"content", std::move(prompt)}}};
}

}  // namespace orvane_semantic_agent::generate::internal
