// Percent-encoding of URL pieces (RFC 3986): every byte but the unreserved characters
// (A-Z a-z 0-9 - _ . ~) becomes "%XX" with upper-case hex digits, as query values, object
// names and request signatures expect.
//
//   percent_encode("a b/c")      == "a%20b%2Fc"   (a query value or one path segment)
//   percent_encode_path("a b/c") == "a%20b/c"     (a path whose slashes separate segments)
#pragma once

#include <string>
#include <string_view>

namespace platform::http {

std::string percent_encode(std::string_view text);

std::string percent_encode_path(std::string_view path);

}  // namespace platform::http
