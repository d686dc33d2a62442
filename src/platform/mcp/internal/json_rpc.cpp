#include "platform/mcp/internal/json_rpc.hpp"

#include <utility>

#include "platform/json/ordered_json.hpp"

namespace platform::mcp::internal {

bool is_valid_id(const Json& id) { return id.is_string() || id.is_number(); }

Json result_reply(const Json& id, Json result) {
  return Json{{"jsonrpc", "2.0"}, {"id", id}, {"result", std::move(result)}};
}

Json error_reply(const Json& id, ErrorCode code, const std::string& message) {
  return Json{{"jsonrpc", "2.0"},
              {"id", id},
              {"error", {{"code", static_cast<int>(code)}, {"message", message}}}};
}

std::string to_line(const Json& message) { return platform::json::dump_exact(message); }

}  // namespace platform::mcp::internal
