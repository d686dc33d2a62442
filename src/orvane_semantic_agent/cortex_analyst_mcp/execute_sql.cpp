#include "orvane_semantic_agent/cortex_analyst_mcp/cortex_analyst_mcp.hpp"
#include "platform/dataframe/row_records.hpp"

namespace orvane_semantic_agent::cortex_analyst_mcp {

nlohmann::ordered_json _execute_sql(NativeSnowflakeConnection& conn, const std::string& sql) {
  return platform::dataframe::to_row_records(conn.execute(sql));
}

}  // namespace orvane_semantic_agent::cortex_analyst_mcp
