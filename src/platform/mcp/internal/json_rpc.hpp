// JSON-RPC 2.0 message shapes: the error codes, replies, and the one text form every outgoing
// message takes.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

namespace platform::mcp::internal {

enum class ErrorCode : int {
  kParseError = -32700,
  kInvalidRequest = -32600,
  kMethodNotFound = -32601,
  kInvalidParams = -32602,
};

using Json = nlohmann::ordered_json;

// True for the ids a request may carry: a string or a number (never null).
bool is_valid_id(const Json& id);

Json result_reply(const Json& id, Json result);
Json error_reply(const Json& id, ErrorCode code, const std::string& message);

// Compact one-line JSON text; a byte sequence that is not UTF-8 becomes U+FFFD, so any reply
// is valid JSON, and control characters are escaped, so it never holds a line break. Exact
// numbers (integers beyond 64 bits in a tool's rows) keep every digit.
std::string to_line(const Json& message);

}  // namespace platform::mcp::internal
