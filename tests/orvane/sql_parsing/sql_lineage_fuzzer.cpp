// libFuzzer target: any bytes give either joins or an error text, never a crash, hang or throw.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "orvane/sql_parsing/sql_lineage.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view sql(reinterpret_cast<const char*>(data), size);
  auto result = orvane::sql_parsing::parse_sql_lineage(sql, "snowflake", "inst", "DB", "S");
  if (result.joins.has_value() == result.error.has_value()) std::abort();
  if (result.joins) {
    for (const auto& join : *result.joins) {
      if (join.join_type.empty()) std::abort();
    }
  }
  return 0;
}
