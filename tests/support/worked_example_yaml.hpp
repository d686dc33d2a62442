// The small semantic model that the tests of several layers write and read: two tables with a
// key, a filter and one relationship, as YAML in the order the model's fields stand.
#pragma once

namespace osa_test {

inline constexpr const char* kWorkedExampleYaml =
    "name: semantic_model\n"
    "tables:\n"
    "- name: queries\n"
    "  base_table:\n"
    "    database: snowflake\n"
    "    schema: metadata\n"
    "    table: queries\n"
    "  primary_key:\n"
    "    columns:\n"
    "    - query_urn\n"
    "  filters:\n"
    "  - name: system_queries\n"
    "    expr: source = 'SYSTEM'\n"
    "    synonyms:\n"
    "    - system\n"
    "- name: datasets\n"
    "  base_table:\n"
    "    database: snowflake\n"
    "    schema: metadata\n"
    "    table: datasets\n"
    "  primary_key:\n"
    "    columns:\n"
    "    - urn\n"
    "relationships:\n"
    "- name: queries_datasets\n"
    "  left_table: queries\n"
    "  right_table: datasets\n"
    "  relationship_columns:\n"
    "  - left_column: dataset\n"
    "    right_column: urn\n"
    "  join_type: left_outer\n"
    "  relationship_type: many_to_one\n";

}  // namespace osa_test
