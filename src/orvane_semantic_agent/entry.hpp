// The process entry of the console program `orvane-semantic-agent` (and of the Python module's
// `main`).
//
//   orvane_semantic_agent::load_entry_module();   // start-up steps, then the .env file
//   orvane_semantic_agent::main();                // serves MCP over stdin/stdout until it stops
//
// Start-up order matters: the generator's and the server module's start-up steps read the
// process environment alone (so CORTEX_HARDCODED_MODEL_FILE and the tracking set-up never come
// from a .env file); everything from `main` on sees the .env values too, which never override a
// variable that is already set.
#pragma once

#include <string>
#include <string_view>

namespace orvane_semantic_agent {

// Runs the modules' start-up steps in order, then loads the .env file found in the working
// directory or its parents (none found is no failure). Runs once; later calls do nothing.
void load_entry_module();

// Creates the catalogue client (OrvaneClient::from_env) and the warehouse settings
// (SnowflakeProvisioningConfig::from_env), installs both as the process-wide context while the
// MCP server runs, and returns once the server has stopped. Failures propagate unchanged:
// the settings' platform::ValidationError, and the server lifespan's (login) failures.
void main();

// A failure's message on one line for a terminal: line breaks become "; ", indentation goes.
std::string one_line_message(std::string_view message);

}  // namespace orvane_semantic_agent
