#include "platform/text/redact.hpp"

namespace platform::text {

std::string without_user_info(std::string_view url) {
  const std::size_t scheme_end = url.find("://");
  const std::size_t authority_start = scheme_end == std::string_view::npos ? 0 : scheme_end + 3;
  const std::size_t authority_end = std::min(url.find_first_of("/?#", authority_start), url.size());
  const std::size_t at = url.substr(0, authority_end).rfind('@');
  if (at == std::string_view::npos || at < authority_start) return std::string(url);
  return std::string(url.substr(0, authority_start)).append(url.substr(at + 1));
}

}  // namespace platform::text
