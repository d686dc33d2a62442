// Any text either fails with one of the two documented errors or yields a model whose YAML text
// reads back to the same text; anything else (a crash, another exception) is a fault.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "orvane_semantic_agent/semantic_model/semantic_model.hpp"
#include "platform/errors/errors.hpp"

using orvane_semantic_agent::semantic_model::SemanticModel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  try {
    const std::string written = SemanticModel::from_yaml(text)->to_yaml();
    if (SemanticModel::from_yaml(written)->to_yaml() != written) std::abort();
  } catch (const platform::YAMLError&) {
  } catch (const platform::ValidationError&) {
  }
  return 0;
}
