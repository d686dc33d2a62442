// ASCII case helpers shared by the fake warehouse's files (identifiers, type names, keywords).
#pragma once

#include <algorithm>
#include <cctype>
#include <string>

namespace fakes::warehouse {

inline std::string upper_ascii(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return text;
}

inline std::string lower_ascii(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

}  // namespace fakes::warehouse
