// orvane-semantic-agent: the MCP server "cortex_agent" over standard input and output.
// Configuration comes from the environment and a .env file (see entry.hpp and README.md).
#include <exception>
#include <iostream>

#include "orvane_semantic_agent/entry.hpp"
#include "platform/log/log.hpp"

int main() {
  try {
    orvane_semantic_agent::load_entry_module();
    orvane_semantic_agent::main();
    return 0;
  } catch (const std::exception& failure) {
    // Standard output is the MCP channel; the failure goes to standard error as one line, after
    // the log lines that led to it.
    platform::log::drain(platform::log::kExitDrainLimit);
    std::cerr << "orvane-semantic-agent: "
              << orvane_semantic_agent::one_line_message(failure.what()) << std::endl;
    return 1;
  }
}
