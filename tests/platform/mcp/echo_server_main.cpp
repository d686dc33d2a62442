// mcp_echo_server [RELEASE_MARKER]: the MCP server with the test tools `echo` and `fail`, over
// standard input and output, for clients in other processes. When the server leaves its
// lifespan it writes "released" to RELEASE_MARKER, so a client can see that cleanup ran.
#include <chrono>
#include <fstream>
#include <memory>
#include <string>

#include "platform/mcp/server.hpp"
#include "tests/platform/mcp/test_tools.hpp"

namespace {

// Stands in for real resources: its destructor is the cleanup.
struct Resources {
  std::string marker;
  ~Resources() {
    if (!marker.empty()) std::ofstream(marker) << "released";
  }
};

}  // namespace

int main(int argc, char** argv) {
  const std::string marker = argc > 1 ? argv[1] : "";
  platform::mcp::Server server({"cortex_agent", "0.1.3"}, [marker] {
    auto resources = std::make_shared<Resources>();
    resources->marker = marker;
    return resources;
  });
  server.add_tool(osa_test::mcp::echo_tool());
  server.add_tool(osa_test::mcp::failing_tool());
  platform::mcp::RunOptions options;
  options.shutdown_grace = std::chrono::seconds(5);
  server.run(options);
  return 0;
}
