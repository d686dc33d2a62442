// Any text either fails with platform::ValueError or parses to a urn that writes back exactly
// the text it came from, parses again to an equal urn, and (for datasets) is rebuilt exactly
// from its unescaped parts.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "orvane/metadata/urns.hpp"
#include "platform/errors/errors.hpp"

namespace {

using namespace orvane::metadata::urns;

// The first byte picks a prefix, so short runs reach the key grammar instead of the "urn:" check.
constexpr std::array<std::string_view, 5> kPrefixes = {
    "",
    "urn:orvane:",
    "urn:orvane:dataset:(urn:orvane:dataPlatform:",
    "urn:orvane:schemaField:(urn:orvane:dataset:(",
    "urn:orvane:tag:(",
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  std::string text(kPrefixes[data[0] % kPrefixes.size()]);
  text.append(reinterpret_cast<const char*>(data + 1), size - 1);
  try {
    const auto urn = Urn::from_string(text);
    if (urn->urn() != text) std::abort();
    if (!(*Urn::from_string(urn->urn()) == *urn)) std::abort();
    if (urn->is<DatasetUrn>()) {
      const DatasetUrn dataset = DatasetUrn::from_string(*urn);
      const DatasetUrn rebuilt(dataset.get_data_platform_urn().platform_name(), dataset.name(),
                               dataset.env());
      if (rebuilt.urn() != text) std::abort();
    }
  } catch (const platform::ValueError&) {
  }
  return 0;
}
