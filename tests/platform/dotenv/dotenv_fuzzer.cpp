// Any text parses without a crash or a throw, and every skipped line lies inside the text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/dotenv/dotenv_parser.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto parsed = platform::dotenv::parse_dotenv(text, [](const std::string& name) {
    return name == "SET" ? std::optional<std::string>("value") : std::nullopt;
  });
  for (const int line : parsed.bad_lines) {
    if (line < 1 || static_cast<std::size_t>(line) > size + 1) std::abort();
  }
  return 0;
}
