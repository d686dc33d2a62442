#include "tests/fakes/snowflake/sql_engine.hpp"

#include <algorithm>
#include <cctype>
#include <memory>

#include "platform/text/ascii_case.hpp"
#include "tests/fakes/snowflake/cell_encoding.hpp"

namespace fakes::warehouse {
namespace {

using Statement = std::unique_ptr<sqlite3_stmt, decltype(&sqlite3_finalize)>;

constexpr int kQuery = 0x1000;
constexpr int kInsert = 0x3100;
constexpr int kUpdate = 0x3200;
constexpr int kDelete = 0x3300;
constexpr int kTransaction = 0x5000;
constexpr int kDdl = 0x6000;

// The statement's first words, upper-cased, after leading blanks and comments.
std::string leading_words(const std::string& sql, size_t count) {
  size_t i = 0;
  std::string words;
  while (i < sql.size() && count > 0) {
    if (std::isspace(static_cast<unsigned char>(sql[i]))) {
      ++i;
    } else if (sql.compare(i, 2, "--") == 0) {
      i = std::min(sql.find('\n', i), sql.size());
    } else if (sql.compare(i, 2, "/*") == 0) {
      const auto end = sql.find("*/", i + 2);
      i = end == std::string::npos ? sql.size() : end + 2;
    } else {
      size_t end = i;
      while (end < sql.size() &&
             (std::isalnum(static_cast<unsigned char>(sql[end])) || sql[end] == '_')) {
        ++end;
      }
      if (end == i) break;
      words += (words.empty() ? "" : " ") + platform::text::to_ascii_upper(sql.substr(i, end - i));
      i = end;
      --count;
    }
  }
  return words;
}

// SYSTEM$WAIT(n [, unit]): the fake decides the delay itself, so the function only answers.
void system_wait(sqlite3_context* context, int argc, sqlite3_value** argv) {
  const auto* amount = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
  const char* unit =
      argc > 1 ? reinterpret_cast<const char*>(sqlite3_value_text(argv[1])) : nullptr;
  const std::string text = std::string("waited ") + (amount ? amount : "0") + " " +
                           (unit ? std::string(unit) : std::string("seconds"));
  sqlite3_result_text(context, text.c_str(), -1, SQLITE_TRANSIENT);
}

// The warehouse's code, SQL state and message for an SQLite error message.
[[noreturn]] void throw_statement_error(const std::string& sqlite_message) {
  const auto after = [&](const std::string& prefix) {
    return sqlite_message.substr(prefix.size());
  };
  if (sqlite_message.starts_with("no such table: ")) {
    throw StatementError("002003", "42S02",
                         "SQL compilation error:\nObject '" + after("no such table: ") +
                             "' does not exist or not authorized.");
  }
  if (sqlite_message.starts_with("no such column: ")) {
    throw StatementError("000904", "42000",
                         "SQL compilation error: error line 1 at position 0\ninvalid identifier '" +
                             after("no such column: ") + "'");
  }
  if (sqlite_message.starts_with("no such function: ")) {
    throw StatementError("002140", "42601",
                         "SQL compilation error:\nUnknown function " + after("no such function: "));
  }
  if (sqlite_message.find("already exists") != std::string::npos) {
    throw StatementError("002002", "42710", "SQL compilation error:\n" + sqlite_message);
  }
  if (sqlite_message.find("syntax error") != std::string::npos ||
      sqlite_message.find("incomplete input") != std::string::npos) {
    throw StatementError("001003", "42000", "SQL compilation error:\n" + sqlite_message);
  }
  throw StatementError("100000", "22000", "SQL execution error: " + sqlite_message);
}

// How many statements follow the first one (blanks, semicolons and comments are none).
int statements_after(sqlite3* db, const char* tail) {
  int count = 0;
  while (tail && *tail) {
    sqlite3_stmt* next = nullptr;
    const char* rest = nullptr;
    if (sqlite3_prepare_v2(db, tail, -1, &next, &rest) != SQLITE_OK) return count + 1;
    count += next != nullptr;
    sqlite3_finalize(next);
    if (rest == tail) break;
    tail = rest;
  }
  return count;
}

void bind_parameters(sqlite3_stmt* statement, const nlohmann::json& bindings) {
  if (!bindings.is_object()) return;
  for (const auto& [position, binding] : bindings.items()) {
    const int index = std::atoi(position.c_str());
    const auto& value = binding.contains("value") ? binding["value"] : nlohmann::json();
    const std::string type = binding.value("type", "TEXT");
    if (value.is_null()) {
      sqlite3_bind_null(statement, index);
    } else if (value.is_string() && type == "FIXED" &&
               value.get<std::string>().find_first_not_of("-0123456789") == std::string::npos) {
      sqlite3_bind_int64(statement, index, std::stoll(value.get<std::string>()));
    } else if (value.is_string() && type == "REAL") {
      sqlite3_bind_double(statement, index, std::stod(value.get<std::string>()));
    } else if (value.is_string() && type == "BOOLEAN") {
      sqlite3_bind_int(statement, index, value == "true" || value == "1");
    } else {
      const std::string text = value.is_string() ? value.get<std::string>() : value.dump();
      sqlite3_bind_text(statement, index, text.c_str(), -1, SQLITE_TRANSIENT);
    }
  }
}

SqliteValue read_value(sqlite3_stmt* statement, int column) {
  SqliteValue value;
  value.storage = sqlite3_column_type(statement, column);
  if (value.storage == SQLITE_INTEGER) value.integer = sqlite3_column_int64(statement, column);
  if (value.storage == SQLITE_FLOAT) value.real = sqlite3_column_double(statement, column);
  if (value.storage == SQLITE_TEXT || value.storage == SQLITE_BLOB) {
    const void* bytes = value.storage == SQLITE_TEXT
                            ? static_cast<const void*>(sqlite3_column_text(statement, column))
                            : sqlite3_column_blob(statement, column);
    value.bytes.assign(static_cast<const char*>(bytes),
                       static_cast<size_t>(sqlite3_column_bytes(statement, column)));
  }
  return value;
}

std::string warehouse_column_name(const std::string& name, const std::string& sql) {
  const bool simple = !name.empty() && !std::isdigit(static_cast<unsigned char>(name[0])) &&
                      std::all_of(name.begin(), name.end(), [](char c) {
                        return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$';
                      });
  const bool quoted = sql.find('"' + name + '"') != std::string::npos;
  return simple && !quoted ? platform::text::to_ascii_upper(name) : name;
}

// A column's type from the first non-null value (integers mixed with floats are real).
ColumnType inferred_type(const std::vector<std::vector<SqliteValue>>& rows, size_t column) {
  int storage = SQLITE_NULL;
  for (const auto& row : rows) {
    const int each = row[column].storage;
    if (storage == SQLITE_NULL || (storage == SQLITE_INTEGER && each == SQLITE_FLOAT)) {
      storage = each;
    }
  }
  return column_type_from_storage(storage);
}

StatementResult status_result(int statement_type_id) {
  StatementResult result;
  result.statement_type_id = statement_type_id;
  result.columns.push_back({"status", "", *column_type_from_declared("VARCHAR")});
  result.rows.push_back({std::string("Statement executed successfully.")});
  return result;
}

StatementResult count_result(int statement_type_id, std::vector<std::string> names, int count) {
  StatementResult result;
  result.statement_type_id = statement_type_id;
  std::vector<std::optional<std::string>> row;
  for (auto& name : names) {
    result.columns.push_back({std::move(name), "", *column_type_from_declared("NUMBER(19,0)")});
    row.push_back(std::to_string(row.empty() ? count : 0));
  }
  result.rows.push_back(std::move(row));
  return result;
}

}  // namespace

SqlEngine::SqlEngine(const std::string& path) {
  const std::string name = path.empty() ? ":memory:" : path;
  if (sqlite3_open(name.c_str(), &db_) != SQLITE_OK) {
    const std::string message = db_ ? sqlite3_errmsg(db_) : "out of memory";
    sqlite3_close(db_);
    throw std::runtime_error("cannot open the fake warehouse database " + name + ": " + message);
  }
  sqlite3_busy_timeout(db_, 5000);
  for (int arguments : {1, 2}) {
    sqlite3_create_function(db_, "SYSTEM$WAIT", arguments, SQLITE_UTF8, nullptr, &system_wait,
                            nullptr, nullptr);
  }
}

SqlEngine::~SqlEngine() { sqlite3_close(db_); }

void SqlEngine::run_script(const std::string& sql) {
  char* error = nullptr;
  if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
    const std::string message = error ? error : "unknown error";
    sqlite3_free(error);
    throw std::runtime_error("seeding the fake warehouse failed: " + message);
  }
}

StatementResult SqlEngine::execute(const std::string& sql, const nlohmann::json& bindings) {
  const std::string first = leading_words(sql, 1);
  if (first == "USE" || leading_words(sql, 2) == "ALTER SESSION") return status_result(kDdl);

  sqlite3_stmt* raw = nullptr;
  const char* tail = nullptr;
  if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &raw, &tail) != SQLITE_OK) {
    throw_statement_error(sqlite3_errmsg(db_));
  }
  const Statement statement(raw, &sqlite3_finalize);
  if (!statement)
    throw StatementError("000900", "42000", "SQL compilation error:\nEmpty SQL statement.");
  if (const int more = statements_after(db_, tail); more > 0) {
    throw StatementError("000008", "0A000",
                         "Actual statement count " + std::to_string(more + 1) +
                             " did not match the desired statement count 1.");
  }
  bind_parameters(statement.get(), bindings);

  const int column_count = sqlite3_column_count(statement.get());
  std::vector<std::vector<SqliteValue>> values;
  int step = SQLITE_ROW;
  while ((step = sqlite3_step(statement.get())) == SQLITE_ROW) {
    std::vector<SqliteValue> row;
    for (int column = 0; column < column_count; ++column) {
      row.push_back(read_value(statement.get(), column));
    }
    values.push_back(std::move(row));
  }
  if (step != SQLITE_DONE) throw_statement_error(sqlite3_errmsg(db_));

  if (column_count == 0) {
    const int changes = sqlite3_changes(db_);
    if (first == "INSERT") return count_result(kInsert, {"number of rows inserted"}, changes);
    if (first == "UPDATE") {
      return count_result(
          kUpdate, {"number of rows updated", "number of multi-joined rows updated"}, changes);
    }
    if (first == "DELETE") return count_result(kDelete, {"number of rows deleted"}, changes);
    const bool transaction = first == "BEGIN" || first == "COMMIT" || first == "ROLLBACK";
    return status_result(transaction ? kTransaction : kDdl);
  }

  StatementResult result;
  result.statement_type_id = kQuery;
  for (int column = 0; column < column_count; ++column) {
    const char* declared = sqlite3_column_decltype(statement.get(), column);
    const char* table = sqlite3_column_table_name(statement.get(), column);
    auto type = column_type_from_declared(declared ? declared : "");
    result.columns.push_back(
        {warehouse_column_name(sqlite3_column_name(statement.get(), column), sql),
         table ? platform::text::to_ascii_upper(table) : "",
         type ? *type : inferred_type(values, static_cast<size_t>(column))});
  }
  try {
    for (const auto& row : values) {
      std::vector<std::optional<std::string>> cells;
      for (size_t column = 0; column < row.size(); ++column) {
        cells.push_back(encode_cell(result.columns[column].type, row[column]));
      }
      result.rows.push_back(std::move(cells));
    }
  } catch (const CellError& error) {
    throw StatementError("100040", "22007", error.what());
  }
  return result;
}

}  // namespace fakes::warehouse
