// Reading the hand-written semantic model file that CORTEX_HARDCODED_MODEL_FILE names.
//
//   std::string yaml_text = read_model_file("/srv/models/shop.yml");
//
// Only a regular file (or a symbolic link to one) is read, and never more of it than a YAML
// text may hold (platform::yaml::kMaxTextBytes): a FIFO would hold the call until some writer
// came, /dev/zero would fill the memory, and a huge file would be read whole before the parser
// refused it.
//
// Throws platform::RuntimeError "Cannot read the semantic model file <path>: <reason>", the
// reason being the system's ("No such file or directory", "Is a directory", ...), "not a regular
// file", or "larger than the limit of 33554432 bytes".
#pragma once

#include <string>

namespace orvane_semantic_agent::cortex_analyst_mcp {

std::string read_model_file(const std::string& path);

}  // namespace orvane_semantic_agent::cortex_analyst_mcp
