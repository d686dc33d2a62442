// Reads the text of the hard-coded semantic model file, refusing what cannot be a model before
// it costs memory or time.
//
//   std::string yaml = read_model_file("/etc/orvane/shop_model.yml");
//
// Throws platform::RuntimeError "Cannot read the semantic model file <path>: <reason>", where
// the reason is the system's ("No such file or directory", "Is a directory", ...), "not a regular
// file" for a FIFO, device or socket (which could block or never end), or "larger than the limit
// of N bytes" past the YAML reader's limit (platform::yaml::kMaxTextBytes), found without reading
// further than that.
#pragma once

#include <string>

namespace orvane_semantic_agent::cortex_analyst_mcp {

std::string read_model_file(const std::string& path);

}  // namespace orvane_semantic_agent::cortex_analyst_mcp
