#include "orvane_semantic_agent/cortex_analyst_mcp/cortex_analyst_mcp.hpp"
#include "platform/dataframe/row_records.hpp"
#include "platform/errors/errors.hpp"
#include "platform/snowflake/statement_splitter.hpp"

namespace orvane_semantic_agent::cortex_analyst_mcp {
namespace {

// The SQL comes from a model that read the agent's question, so it is untrusted: a PUT would
// upload the server's own files (its .env among them) to a stage, a GET would write into its
// file system. Every statement of a multi-statement text is looked at, not only the first.
void refuse_file_transfers(const std::string& sql) {
  for (const std::string& statement : platform::snowflake::split_statements(sql)) {
    if (platform::snowflake::is_file_transfer(statement)) {
      throw platform::ValueError(
          "Refusing to run the generated SQL: it holds a " +
          platform::snowflake::leading_keyword(statement) +
          " statement, and file transfers (PUT, GET) are never run; nothing was sent to the "
          "warehouse");
    }
  }
}

}  // namespace

nlohmann::ordered_json _execute_sql(NativeSnowflakeConnection& conn, const std::string& sql) {
  refuse_file_transfers(sql);
  return platform::dataframe::to_row_records(conn.execute(sql));
}

}  // namespace orvane_semantic_agent::cortex_analyst_mcp
