// Base64 encoding (RFC 4648): the standard alphabet with padding, and the URL-safe alphabet
// without padding that JWTs use.
//
//   base64("ab?")    == "YWI/"
//   base64url("ab?") == "YWI_"
#pragma once

#include <string>
#include <string_view>

namespace platform::text {

std::string base64(std::string_view bytes);

std::string base64url(std::string_view bytes);

}  // namespace platform::text
