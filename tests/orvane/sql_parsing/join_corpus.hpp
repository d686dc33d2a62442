// Reads the labelled join corpus in tests/data/sql_joins (format: that folder's README.md).
//
//   for (const CorpusCase& c : load_join_corpus(osa_test::source_dir() / "tests/data/sql_joins"))
//     ... c.sql, c.expected_joins ...
//
// Throws std::runtime_error naming the file and line of a malformed case.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace osa_test {

struct ExpectedJoin {
  std::string join_type;
  std::vector<std::string> left_tables;   // dataset URN texts
  std::vector<std::string> right_tables;  // dataset URN texts
};

struct CorpusCase {
  std::string where;  // file:line of the case header
  std::string name;
  std::string sql;
  std::optional<std::string> platform_instance;
  std::optional<std::string> default_db;
  std::optional<std::string> default_schema;
  // None when the text must fail to parse; then `error` is part of the expected message.
  std::optional<std::vector<ExpectedJoin>> expected_joins;
  std::string error;
};

// Every case of every .sql file in `dir`, files in name order.
std::vector<CorpusCase> load_join_corpus(const std::filesystem::path& dir);

// The Snowflake dataset URN text of a corpus table name.
std::string corpus_table_urn(const std::string& name);

}  // namespace osa_test
