// Text with the ASCII white space at either end removed (header values, settings).
#pragma once

#include <cctype>
#include <string_view>

namespace platform::text {

inline std::string_view trim(std::string_view text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) {
    text.remove_prefix(1);
  }
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) {
    text.remove_suffix(1);
  }
  return text;
}

}  // namespace platform::text
