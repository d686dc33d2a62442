// Test driver: one JSON object per input line,
//   {"sql": ..., "platform": ..., "platform_instance": ..., "default_db": ..., "default_schema":
//   ...}
// and one JSON line per input line on stdout:
//   {"joins":[{"join_type":...,"left_tables":[...],"right_tables":[...]}]}
//   {"joins":null,"error":"..."}
// A line that is not such an object gets the second form, with the reason.
#include <iostream>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "orvane/sql_parsing/sql_lineage.hpp"

namespace {

using nlohmann::ordered_json;

std::optional<std::string> optional_text(const ordered_json& request, const char* key) {
  auto it = request.find(key);
  if (it == request.end() || it->is_null()) return std::nullopt;
  return it->get<std::string>();
}

ordered_json answer(const std::string& line) {
  ordered_json request = ordered_json::parse(line);
  auto result = orvane::sql_parsing::parse_sql_lineage(
      request.at("sql").get<std::string>(), request.value("platform", std::string("snowflake")),
      optional_text(request, "platform_instance"), optional_text(request, "default_db"),
      optional_text(request, "default_schema"));
  ordered_json out;
  if (!result.joins) {
    out["joins"] = nullptr;
    out["error"] = result.error.value_or("");
    return out;
  }
  out["joins"] = ordered_json::array();
  for (const auto& join : *result.joins) {
    out["joins"].push_back(ordered_json{{"join_type", join.join_type},
                                        {"left_tables", join.left_tables},
                                        {"right_tables", join.right_tables}});
  }
  return out;
}

}  // namespace

int main() {
  std::ios::sync_with_stdio(false);
  std::string line;
  while (std::getline(std::cin, line)) {
    if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
    ordered_json out;
    try {
      out = answer(line);
    } catch (const nlohmann::json::exception& error) {
      out =
          ordered_json{{"joins", nullptr}, {"error", std::string("bad request: ") + error.what()}};
    }
    std::cout << out.dump(-1, ' ', false, ordered_json::error_handler_t::replace) << '\n';
  }
  return 0;
}
