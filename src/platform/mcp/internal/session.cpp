#include "platform/mcp/internal/session.hpp"

#include <algorithm>
#include <exception>
#include <utility>
#include <variant>

#include "platform/mcp/internal/argument_check.hpp"

namespace platform::mcp::internal {

const std::vector<std::string> kSupportedVersions = {"2024-11-05", "2025-03-26", "2025-06-18",
                                                     "2025-11-25"};

namespace {

// Deeper messages are refused before parsing: a line of brackets would otherwise cost tens of
// bytes of tree per byte of input. No MCP message comes near this depth.
constexpr int kMaxNesting = 128;

bool nested_deeper_than(std::string_view text, int limit) {
  int depth = 0;
  bool in_string = false;
  bool escaped = false;
  for (const char c : text) {
    if (in_string) {
      if (escaped) {
        escaped = false;
      } else if (c == '\\') {
        escaped = true;
      } else if (c == '"') {
        in_string = false;
      }
    } else if (c == '"') {
      in_string = true;
    } else if (c == '[' || c == '{') {
      if (++depth > limit) return true;
    } else if (c == ']' || c == '}') {
      --depth;
    }
  }
  return false;
}

// The parsed message, or the parse error's text.
std::variant<Json, std::string> parse(std::string_view line) {
  if (nested_deeper_than(line, kMaxNesting)) {
    return "Parse error: nested deeper than " + std::to_string(kMaxNesting) + " levels";
  }
  try {
    return Json::parse(line.begin(), line.end());
  } catch (const Json::exception& error) {
    // A syntax error, or a number out of range (out_of_range.406).
    std::string_view text = error.what();
    // nlohmann's "[json.exception.parse_error.101] " id says nothing to a client.
    if (const auto end = text.find("] "); text.starts_with("[json.") && end != text.npos) {
      text.remove_prefix(end + 2);
    }
    return "Parse error: " + std::string(text);
  }
}

Json text_content(std::string text) {
  return Json::array({Json{{"type", "text"}, {"text", std::move(text)}}});
}

Json tool_success(Json structured) {
  std::string text = to_line(structured);
  return Json{{"content", text_content(std::move(text))},
              {"structuredContent", std::move(structured)},
              {"isError", false}};
}

Json tool_failure(const Tool& tool, const std::string& message) {
  return Json{{"content", text_content("Error executing tool " + tool.name + ": " + message)},
              {"isError", true}};
}

Json invoke(const Tool& tool, const Json& arguments, RequestContext& context) {
  try {
    Json value = tool.handler(arguments, context);
    if (!value.is_object()) {
      return tool_failure(
          tool, std::string("the tool returned ") + value.type_name() + " instead of an object");
    }
    return tool_success(std::move(value));
  } catch (const std::exception& error) {
    return tool_failure(tool, error.what());
  } catch (...) {
    return tool_failure(tool, "unknown error");
  }
}

// The member `key` of an object, or null; const or not as the object is.
template <typename Object>
Object* member(Object& object, const char* key) {
  const auto found = object.find(key);
  return found == object.end() ? nullptr : &*found;
}

bool is_request_or_notification(const Json& message) {
  return message.is_object() && message.contains("method");
}

bool is_response(const Json& message) {
  return message.is_object() && !message.contains("method") &&
         (message.contains("result") || message.contains("error"));
}

// The id to answer with: the message's own when it is a valid one, else null.
Json reply_id(const Json& message) {
  const Json* id = message.is_object() ? member(message, "id") : nullptr;
  return id != nullptr && is_valid_id(*id) ? *id : Json();
}

const std::vector<std::string> kMethods = {"initialize", "ping", "tools/list", "tools/call"};

// Calls in flight are filed by the id's JSON text, so 1 and "1" are different calls.
std::string call_key(const Json& id) { return to_line(id); }

}  // namespace

Session::Session(ServerInfo info, std::vector<std::shared_ptr<const Tool>> tools,
                 std::shared_ptr<void> lifespan_context, Send send, Submit submit,
                 std::size_t max_calls_in_flight)
    : info_(std::move(info)),
      tools_(std::move(tools)),
      lifespan_context_(std::move(lifespan_context)),
      send_(std::move(send)),
      submit_(std::move(submit)),
      max_calls_in_flight_(max_calls_in_flight) {}

void Session::handle_line(std::string_view line) {
  if (line.find_first_not_of(" \t\r") == std::string_view::npos) return;
  auto parsed = parse(line);
  Json reply = std::holds_alternative<std::string>(parsed)
                   ? error_reply(nullptr, ErrorCode::kParseError, std::get<std::string>(parsed))
                   : reply_to(std::get<Json>(parsed));
  if (!reply.is_null()) send_(reply);
}

void Session::handle_oversized_line() {
  send_(error_reply(nullptr, ErrorCode::kParseError, "Parse error: message too long"));
}

void Session::cancel_all() {
  const std::lock_guard lock(calls_mutex_);
  for (auto& [key, call] : calls_) call.cancelled->store(true);
}

Json Session::reply_to(Json& message) {
  if (message.is_array()) return reply_to_batch(message);
  if (!message.is_object()) {
    return error_reply(nullptr, ErrorCode::kInvalidRequest,
                       "Invalid request: a message must be a JSON object");
  }
  if (is_response(message)) return nullptr;  // this server sends no requests of its own
  const Json id = reply_id(message);
  const Json* method = member(std::as_const(message), "method");
  if (method == nullptr) {
    return error_reply(id, ErrorCode::kInvalidRequest, "Invalid request: method is missing");
  }
  if (message.value("jsonrpc", Json()) != "2.0") {
    return error_reply(id, ErrorCode::kInvalidRequest, "Invalid request: jsonrpc must be \"2.0\"");
  }
  if (!method->is_string()) {
    return error_reply(id, ErrorCode::kInvalidRequest, "Invalid request: method must be a string");
  }
  const Json* given_id = member(message, "id");
  if (given_id != nullptr && !is_valid_id(*given_id)) {
    return error_reply(nullptr, ErrorCode::kInvalidRequest,
                       "Invalid request: id must be a string or a number");
  }
  Json no_params = Json::object();
  Json* params = member(message, "params");
  if (params == nullptr) params = &no_params;
  if (given_id == nullptr) {
    if (params->is_object()) handle_notification(method->get<std::string>(), *params);
    return nullptr;
  }
  if (!params->is_object()) {
    return error_reply(id, ErrorCode::kInvalidParams, "Invalid params: params must be an object");
  }
  return reply_to_request(id, method->get<std::string>(), *params);
}

Json Session::reply_to_batch(const Json& batch) {
  if (batch.empty()) {
    return error_reply(nullptr, ErrorCode::kInvalidRequest, "Invalid request: empty batch");
  }
  Json replies = Json::array();
  for (const Json& message : batch) {
    const bool notification = is_request_or_notification(message) && !message.contains("id");
    if (notification || is_response(message)) continue;
    replies.push_back(error_reply(reply_id(message), ErrorCode::kInvalidRequest,
                                  "Invalid request: batches are not supported"));
  }
  return replies.empty() ? Json() : replies;
}

Json Session::reply_to_request(const Json& id, const std::string& method, Json& params) {
  if (std::find(kMethods.begin(), kMethods.end(), method) == kMethods.end()) {
    return error_reply(id, ErrorCode::kMethodNotFound, "Method not found: " + method);
  }
  if (method == "initialize") return initialize(id, params);
  if (method == "ping") return result_reply(id, Json::object());
  if (!initialized_) {
    return error_reply(id, ErrorCode::kInvalidRequest,
                       "Invalid request: the session is not initialized (send initialize first)");
  }
  if (method == "tools/list") return list_tools(id);
  return call_tool(id, params);
}

void Session::handle_notification(const std::string& method, const Json& params) {
  // notifications/initialized needs no action: requests are served once initialize is
  // answered. Unknown notifications are ignored, as the protocol asks.
  if (method == "notifications/cancelled") cancel(params);
}

Json Session::initialize(const Json& id, const Json& params) {
  if (initialized_) {
    return error_reply(id, ErrorCode::kInvalidRequest,
                       "Invalid request: the session is already initialized");
  }
  const Json* requested = member(params, "protocolVersion");
  if (requested == nullptr || !requested->is_string()) {
    return error_reply(id, ErrorCode::kInvalidParams,
                       "Invalid params: protocolVersion must be a string");
  }
  const bool supported = std::find(kSupportedVersions.begin(), kSupportedVersions.end(),
                                   requested->get<std::string>()) != kSupportedVersions.end();
  initialized_ = true;
  return result_reply(id, Json{{"protocolVersion", supported ? requested->get<std::string>()
                                                             : kSupportedVersions.back()},
                               {"capabilities", {{"tools", {{"listChanged", false}}}}},
                               {"serverInfo", {{"name", info_.name}, {"version", info_.version}}}});
}

Json Session::list_tools(const Json& id) const {
  Json listed = Json::array();
  for (const auto& tool : tools_) {
    Json entry = {{"name", tool->name},
                  {"description", tool->description},
                  {"inputSchema", tool->input_schema}};
    if (!tool->output_schema.is_null()) entry["outputSchema"] = tool->output_schema;
    listed.push_back(std::move(entry));
  }
  return result_reply(id, Json{{"tools", std::move(listed)}});
}

Json Session::call_tool(const Json& id, Json& params) {
  const Json* name = member(params, "name");
  if (name == nullptr || !name->is_string()) {
    return error_reply(id, ErrorCode::kInvalidParams, "Invalid params: name must be a string");
  }
  const auto tool = std::find_if(tools_.begin(), tools_.end(), [&](const auto& candidate) {
    return candidate->name == name->get_ref<const std::string&>();
  });
  if (tool == tools_.end()) {
    return error_reply(id, ErrorCode::kInvalidParams,
                       "Invalid params: unknown tool: " + name->get<std::string>());
  }
  // Moved, not copied: arguments may be most of a message of many megabytes.
  Json* given = member(params, "arguments");
  Json arguments = given == nullptr || given->is_null() ? Json::object() : std::move(*given);
  if (!arguments.is_object()) {
    return error_reply(id, ErrorCode::kInvalidParams,
                       "Invalid params: arguments must be an object");
  }
  if (auto problem = argument_problem((*tool)->input_schema, arguments)) {
    return result_reply(id, tool_failure(**tool, "invalid arguments: " + *problem));
  }
  drop_unnamed_arguments((*tool)->input_schema, arguments);
  auto cancelled = std::make_shared<std::atomic<bool>>(false);
  {
    const std::lock_guard lock(calls_mutex_);
    if (calls_.size() >= max_calls_in_flight_) {
      return result_reply(
          id, tool_failure(**tool, "the server is busy (" + std::to_string(calls_.size()) +
                                       " calls in flight); try again later"));
    }
    if (!calls_.try_emplace(call_key(id), Call{cancelled}).second) {
      return error_reply(id, ErrorCode::kInvalidRequest,
                         "Invalid request: id is already used by a call in flight");
    }
  }
  submit_([self = shared_from_this(), tool = *tool, id, arguments = std::move(arguments),
           cancelled] { self->run_call(*tool, id, arguments, cancelled); });
  return nullptr;
}

void Session::run_call(const Tool& tool, const Json& id, const Json& arguments,
                       const std::shared_ptr<std::atomic<bool>>& cancelled) {
  Json result;
  if (cancelled->load()) {
    // Cancelled while it waited for a worker: never started.
    result = tool_failure(tool, "the server is shutting down");
  } else {
    RequestContext context(lifespan_context_, id, cancelled);
    result = invoke(tool, arguments, context);
  }
  bool deliver = false;
  {
    const std::lock_guard lock(calls_mutex_);
    const auto call = calls_.find(call_key(id));
    if (call != calls_.end()) {
      deliver = !call->second.answer_dropped;
      calls_.erase(call);
    }
  }
  if (deliver) send_(result_reply(id, std::move(result)));
}

void Session::cancel(const Json& params) {
  const Json* id = member(params, "requestId");
  if (id == nullptr || !is_valid_id(*id)) return;
  const std::lock_guard lock(calls_mutex_);
  const auto call = calls_.find(call_key(*id));
  if (call == calls_.end()) return;  // unknown or already answered
  call->second.cancelled->store(true);
  call->second.answer_dropped = true;
}

}  // namespace platform::mcp::internal
