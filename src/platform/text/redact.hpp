// Blanking secrets out of texts that may travel on (an error message, an echoed answer, a log
// line).
//
//   std::string shown = platform::text::redacted(provider_message, api_key);
//   platform::log::debug("Sending to {}", platform::text::without_user_info(base_url));
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

// `url` as it may be shown: without the user information of its authority, where a password
// goes ("https://user:pw@host/v1" gives "https://host/v1", "postgresql://u:p@db/x" gives
// "postgresql://db/x"). The authority follows "<scheme>://", or starts the text when there is
// no scheme (the form "user:pw@host/v1" that a client may guess "http://" for), and ends at the
// first "/", "?" or "#"; the user information is everything up to its last "@". Texts without
// user information come back unchanged. Every URL that reaches a log line or an error text goes
// through here.
std::string without_user_info(std::string_view url);

}  // namespace platform::text
