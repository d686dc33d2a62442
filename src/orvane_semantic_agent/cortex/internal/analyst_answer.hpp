// Reading a Cortex Analyst answer body: its content blocks, and the entries they give. Pure
// functions of the text, so every shape of answer can be tried without a server.
//
//   const nlohmann::ordered_json blocks = content_blocks(response.body);
//   std::vector<AnalystEntry> entries = entries_of(blocks);
#pragma once

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "orvane_semantic_agent/cortex/cortex.hpp"

namespace orvane_semantic_agent::cortex::internal {

// The blocks of an answer: the body's "message" (an empty object when absent), then its
// "content" (an empty list when absent), in the order and key order the service sent. The body
// is parsed once, its nesting bounded. Throws platform::ValueError
// "Snowflake Analyst's answer is not JSON: <the parser's complaint>" or
// "Snowflake Analyst's answer nests arrays and objects deeper than 256 levels";
// platform::RuntimeError "Unexpected answer from Snowflake Analyst: not a JSON object" or
// "Unexpected answer from Snowflake Analyst: \"message\" holds no list of \"content\"".
nlohmann::ordered_json content_blocks(const std::string& body);

// The entries of `blocks` (a list), in order: a "text" block's "text" alone, a "sql" block's
// pair ("sql", its "statement"), a "suggestions" block's pair ("suggestions", its
// "suggestions"); blocks of other types give nothing. Throws platform::KeyError naming the
// missing key ("'type'", "'text'", "'statement'" or "'suggestions'"), and platform::RuntimeError
// "Unexpected content block from Snowflake Analyst: <block>" for a block that is no object or
// "Unexpected text block from Snowflake Analyst: <block>" for a text that is no text. No partial
// list is returned.
std::vector<AnalystEntry> entries_of(const nlohmann::ordered_json& blocks);

}  // namespace orvane_semantic_agent::cortex::internal
