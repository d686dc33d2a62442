// Runs one warehouse statement on SQLite and returns its result as the warehouse would: typed
// columns (see column_type.hpp) and rows of encoded cells (see cell_encoding.hpp).
//
// Beyond SQLite's own SQL: "USE ..." and "ALTER SESSION ..." succeed without effect, and the
// function SYSTEM$WAIT(n [, unit]) returns "waited n seconds" (the caller decides how long the
// statement takes). Result shapes follow the warehouse:
//   query (any statement with result columns)  statementTypeId 0x1000, its columns and rows
//   INSERT / UPDATE / DELETE                   0x3100 / 0x3200 / 0x3300, one row of counts
//   anything else (DDL, transactions, USE)     0x6000 (0x5000 for transactions), one "status"
//                                              row "Statement executed successfully."
// Unquoted simple column names are upper-cased, as the warehouse does; names the statement
// writes in double quotes keep their case.
//
//   SqlEngine engine("");  // in memory
//   engine.run_script("CREATE TABLE t (d DATE); INSERT INTO t VALUES ('2024-01-02')");
//   StatementResult result = engine.execute("SELECT d FROM t", nullptr);  // rows[0][0] == "19724"
//
// Not thread-safe: the caller serialises calls.
#pragma once

#include <sqlite3.h>

#include <nlohmann/json.hpp>

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/fakes/snowflake/column_type.hpp"

namespace fakes::warehouse {

struct ResultColumn {
  std::string name;
  std::string table;  // upper-cased source table, empty for an expression
  ColumnType type;
};

struct StatementResult {
  std::vector<ResultColumn> columns;
  std::vector<std::vector<std::optional<std::string>>> rows;  // encoded cells, nullopt = NULL
  int statement_type_id = 0x1000;
};

// A failed statement, with the warehouse's error code and SQL state.
class StatementError : public std::runtime_error {
 public:
  StatementError(std::string code, std::string sql_state, const std::string& message)
      : std::runtime_error(message), code_(std::move(code)), sql_state_(std::move(sql_state)) {}
  const std::string& code() const { return code_; }
  const std::string& sql_state() const { return sql_state_; }

 private:
  std::string code_;
  std::string sql_state_;
};

class SqlEngine {
 public:
  // Opens (creating if needed) the database at `path`; empty = a fresh in-memory database.
  // Throws std::runtime_error when it cannot be opened.
  explicit SqlEngine(const std::string& path);
  ~SqlEngine();
  SqlEngine(const SqlEngine&) = delete;
  SqlEngine& operator=(const SqlEngine&) = delete;

  // Runs any number of plain SQLite statements; throws std::runtime_error on the first failure.
  void run_script(const std::string& sql);

  // Runs exactly one statement. `bindings` is the request's "bindings" object
  // ({"1": {"type": "FIXED", "value": "5"}, ...}) or null. Throws StatementError.
  StatementResult execute(const std::string& sql, const nlohmann::json& bindings);

 private:
  sqlite3* db_ = nullptr;
};

}  // namespace fakes::warehouse
