// Feeds any bytes, split into lines, to the protocol engine, with tool calls run at once.
// Every answer must be one line of valid JSON that is a JSON-RPC reply or a batch of them;
// anything else (a crash, an escaping exception, a malformed answer) is a finding.
//
// The first byte chooses whether the session is initialized first, so the fuzzer reaches the
// tool paths without having to discover the handshake.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string_view>

#include "platform/mcp/internal/line_splitter.hpp"
#include "platform/mcp/internal/session.hpp"
#include "tests/platform/mcp/test_tools.hpp"

namespace {

using platform::mcp::internal::Json;

void check_reply(const Json& reply) {
  if (!reply.is_object() || reply["jsonrpc"] != "2.0" || !reply.contains("id")) std::abort();
  if (reply.contains("result") == reply.contains("error")) std::abort();
}

void check_line(const std::string& line) {
  if (line.find('\n') != std::string::npos) std::abort();
  const Json message = Json::parse(line);  // throws, and so crashes, on invalid JSON
  if (message.is_array()) {
    if (message.empty()) std::abort();
    for (const Json& reply : message) check_reply(reply);
  } else {
    check_reply(message);
  }
}

std::vector<std::shared_ptr<const platform::mcp::Tool>> tools() {
  platform::mcp::Tool reflect{
      .name = "reflect",
      .input_schema = osa_test::mcp::echo_schema(),
      .output_schema = Json{{"type", "object"}},
      .handler = [](const Json& arguments, platform::mcp::RequestContext&) { return arguments; }};
  return {std::make_shared<const platform::mcp::Tool>(std::move(reflect)),
          std::make_shared<const platform::mcp::Tool>(osa_test::mcp::failing_tool())};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  auto session = std::make_shared<platform::mcp::internal::Session>(
      platform::mcp::ServerInfo{"cortex_agent", "0.1.3"}, tools(), nullptr,
      [](const Json& message) { check_line(platform::mcp::internal::to_line(message)); },
      [](std::function<void()> job) { job(); }, 4);
  if (data[0] & 1) {
    session->handle_line(
        R"({"jsonrpc":"2.0","id":0,"method":"initialize","params":{"protocolVersion":"2025-06-18"}})");
  }
  platform::mcp::internal::LineSplitter splitter(
      4096, [&](std::string_view line) { session->handle_line(line); },
      [&] { session->handle_oversized_line(); });
  splitter.feed(std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));
  splitter.finish();
  return 0;
}
