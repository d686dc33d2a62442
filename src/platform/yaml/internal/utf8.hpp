// UTF-8 decoding for the YAML writer, which measures lines and escapes in code points.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform::yaml::internal {

// True when every byte is below 0x80.
bool is_ascii(std::string_view text);

// The code points of `text`; nullopt when it is not valid UTF-8 (overlong forms, surrogates
// and values beyond U+10FFFF included).
std::optional<std::u32string> decode_utf8(std::string_view text);

}  // namespace platform::yaml::internal
