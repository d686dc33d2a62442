// Puts list_queries.gql into the library's read-only data as it is, so the query text ships
// inside the program and nothing is read at run time.
#include "orvane_semantic_agent/generate/module_values.hpp"

#ifndef OSA_LIST_QUERIES_GQL_PATH
#error "OSA_LIST_QUERIES_GQL_PATH must name list_queries.gql"
#endif

__asm__(
    ".section .rodata\n"
    ".global osa_list_queries_gql\n"
    "osa_list_queries_gql:\n"
    ".incbin \"" OSA_LIST_QUERIES_GQL_PATH
    "\"\n"
    ".global osa_list_queries_gql_end\n"
    "osa_list_queries_gql_end:\n"
    ".previous\n");

extern "C" const char osa_list_queries_gql[];
extern "C" const char osa_list_queries_gql_end[];

namespace orvane_semantic_agent::generate {

std::string_view _list_queries_gql() {
  return {osa_list_queries_gql,
          static_cast<std::size_t>(osa_list_queries_gql_end - osa_list_queries_gql)};
}

}  // namespace orvane_semantic_agent::generate
