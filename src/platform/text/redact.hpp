// Blanking a secret out of a text that may travel on (an error message, an echoed answer).
//
//   std::string shown = platform::text::redacted(provider_message, api_key);
#pragma once

#include <string>
#include <string_view>

namespace platform::text {

// `text` with every occurrence of `secret` replaced by "***", in one pass: replaced text is
// never searched again, so a secret that occurs in "***" (such as "*") cannot loop. An empty
// secret leaves the text unchanged.
inline std::string redacted(std::string_view text, std::string_view secret) {
  if (secret.empty()) return std::string(text);
  std::string result;
  result.reserve(text.size());
  std::size_t start = 0;
  for (std::size_t at = text.find(secret); at != std::string_view::npos;
       at = text.find(secret, start)) {
    result.append(text.substr(start, at - start)).append("***");
    start = at + secret.size();
  }
  return result.append(text.substr(start));
}

}  // namespace platform::text
