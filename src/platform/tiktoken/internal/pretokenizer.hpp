// Splits text into the pieces that o200k_base's pattern matches, without a regex engine:
//
//   [^\r\n\p{L}\p{N}]?[\p{Lu}\p{Lt}\p{Lm}\p{Lo}\p{M}]*[\p{Ll}\p{Lm}\p{Lo}\p{M}]+(?i:'s|'t|'re|'ve|'m|'ll|'d)?
//   |[^\r\n\p{L}\p{N}]?[\p{Lu}\p{Lt}\p{Lm}\p{Lo}\p{M}]+[\p{Ll}\p{Lm}\p{Lo}\p{M}]*(?i:'s|'t|'re|'ve|'m|'ll|'d)?
//   |\p{N}{1,3}| ?[^\s\p{L}\p{N}]+[\r\n/]*|\s*[\r\n]+|\s+(?!\S)|\s+
//
// Each alternative is resolved as a backtracking engine would (leftmost alternative first, greedy
// quantifiers giving back one character at a time), which this scanner does in one forward pass.
// Character classes come from char_class.hpp, so engine differences on U+0085, U+FEFF and U+180E
// do not arise, and the case-insensitive contractions accept "'ſ" as "'s", as the reference does.
//
//   std::size_t end = next_piece_end("Hello world", 0);  // 5: "Hello", then " world"
//
// Pieces cover the text exactly; every call with begin < text.size() returns end > begin.
#pragma once

#include <cstddef>
#include <string_view>

namespace platform::tiktoken::internal {

std::size_t next_piece_end(std::string_view text, std::size_t begin);

}  // namespace platform::tiktoken::internal
