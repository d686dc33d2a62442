#include "orvane_semantic_agent/entry.hpp"

#include <mutex>

#include "orvane/sdk/main_client.hpp"
#include "orvane_semantic_agent/context.hpp"
#include "orvane_semantic_agent/cortex/cortex.hpp"
#include "orvane_semantic_agent/cortex_analyst_mcp/cortex_analyst_mcp.hpp"
#include "orvane_semantic_agent/generate/generate.hpp"
#include "platform/dotenv/load_dotenv.hpp"

namespace orvane_semantic_agent {

void load_entry_module() {
  static std::once_flag once;
  std::call_once(once, [] {
    generate::load_module();
    cortex_analyst_mcp::load_module();
    platform::dotenv::load_dotenv();
  });
}

void main() {
  orvane::sdk::OrvaneClient client = orvane::sdk::OrvaneClient::from_env();
  cortex::SnowflakeProvisioningConfig config = cortex::SnowflakeProvisioningConfig::from_env();
  const Context context{.client = std::move(client), .config = std::move(config)};
  auto scope = with_context(context);
  cortex_analyst_mcp::mcp().run();
}

std::string one_line_message(std::string_view message) {
  std::string line;
  bool after_break = false;
  bool indented = false;
  for (const char c : message) {
    if (c == '\n' || c == '\r') {
      after_break = true;
      indented = false;
    } else if (after_break && (c == ' ' || c == '\t')) {
      indented = true;
    } else {
      // An indented line details the one before it ("NAME\n  Field required").
      if (after_break && !line.empty()) line += indented ? ": " : "; ";
      after_break = false;
      line += c;
    }
  }
  return line;
}

}  // namespace orvane_semantic_agent
