// ASCII case folding, for the words of protocols and languages whose keywords are ASCII (header
// names, SQL keywords, type names, settings). Bytes outside A-Z and a-z are left alone, so UTF-8
// text passes through unchanged; for Unicode-aware lower-casing of names see lower_case.hpp.
//
//   to_ascii_upper("Put") == "PUT"
//   equals_ignore_case("Content-Type", "content-type")
//
// Inline: parsers compare every word with keywords, and the length test that settles most
// comparisons should cost no call.
#pragma once

#include <string>
#include <string_view>

namespace platform::text {

constexpr char ascii_lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

constexpr char ascii_upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }

inline std::string to_ascii_lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = ascii_lower(c);
  return out;
}

inline std::string to_ascii_upper(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = ascii_upper(c);
  return out;
}

constexpr bool equals_ignore_case(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (ascii_lower(a[i]) != ascii_lower(b[i])) return false;
  }
  return true;
}

}  // namespace platform::text
