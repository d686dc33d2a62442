// The generator module's values, set once by `load_module()` (generate.hpp) and only read
// afterwards.
//
//   _list_queries_gql();                       // the catalogue's listQueries operation text
//   _token_count("SELECT 1");                  // tokens under _token_encoding()
//
// The traced completion function, the other value the start-up step sets, is the generator's
// own (internal/module_state.hpp). Thread-safe.
#pragma once

#include <cstddef>
#include <string_view>

#include "platform/tiktoken/encoding.hpp"

namespace orvane_semantic_agent::generate {

// The most query URNs kept per dataset when mining its query history.
inline constexpr int MAX_QUERY_URNS_PER_TABLE = 10;
// The token budget of the example SQL of one relationship prompt.
inline constexpr int MAX_TOKENS_EXAMPLE_SQL = 15000;

// The text of list_queries.gql, embedded in the program when it is built.
std::string_view _list_queries_gql();

// The token encoding of the model "gpt-4o-mini".
const platform::tiktoken::Encoding& _token_encoding();

// The number of tokens of `text` under `_token_encoding()`. The 100 texts used most recently are
// answered from a process-wide memo without encoding again; safe under concurrent calls.
std::size_t _token_count(std::string_view text);

}  // namespace orvane_semantic_agent::generate
