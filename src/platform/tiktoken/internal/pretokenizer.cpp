#include "platform/tiktoken/internal/pretokenizer.hpp"

#include "platform/tiktoken/internal/char_class.hpp"

namespace platform::tiktoken::internal {
namespace {

constexpr std::size_t kNoMatch = static_cast<std::size_t>(-1);

bool is_ascii_letter(std::string_view text, std::size_t pos, char lower) {
  return pos < text.size() && (text[pos] | 0x20) == lower;
}

// (?i:'s|'t|'re|'ve|'m|'ll|'d)? at `pos`: the end of the contraction, or `pos` without one.
std::size_t after_contraction(std::string_view text, std::size_t pos) {
  if (pos >= text.size() || text[pos] != '\'') return pos;
  const std::size_t next = pos + 1;
  if (is_ascii_letter(text, next, 's') || is_ascii_letter(text, next, 't') ||
      is_ascii_letter(text, next, 'm') || is_ascii_letter(text, next, 'd')) {
    return next + 1;
  }
  // U+017F LATIN SMALL LETTER LONG S folds to "s".
  if (text.substr(next, 2) == "\xC5\xBF") return next + 2;
  if ((is_ascii_letter(text, next, 'r') || is_ascii_letter(text, next, 'v')) &&
      is_ascii_letter(text, next + 1, 'e')) {
    return next + 2;
  }
  if (is_ascii_letter(text, next, 'l') && is_ascii_letter(text, next + 1, 'l')) return next + 2;
  return pos;
}

// [upper-side]*[lower-side]+ from `pos`. The upper-side run is taken whole, then given back
// until a lower-side character follows: either the character after the run (which then starts
// a maximal lower-side run) or the last character inside the run that is on both sides.
std::size_t match_cased_word(std::string_view text, std::size_t pos) {
  std::size_t after_last_both = kNoMatch;
  Char c = decode_char(text, pos);
  while (c.length != 0 && is_upper_side(c.cls)) {
    pos += c.length;
    if (is_lower_side(c.cls)) after_last_both = pos;
    c = decode_char(text, pos);
  }
  if (c.length != 0 && is_lower_side(c.cls)) {
    while (c.length != 0 && is_lower_side(c.cls)) {
      pos += c.length;
      c = decode_char(text, pos);
    }
    return after_contraction(text, pos);
  }
  if (after_last_both == kNoMatch) return kNoMatch;
  return after_contraction(text, after_last_both);
}

// [upper-side]+[lower-side]* from `pos`.
std::size_t match_upper_word(std::string_view text, std::size_t pos) {
  const std::size_t begin = pos;
  Char c = decode_char(text, pos);
  while (c.length != 0 && is_upper_side(c.cls)) {
    pos += c.length;
    c = decode_char(text, pos);
  }
  if (pos == begin) return kNoMatch;
  while (c.length != 0 && is_lower_side(c.cls)) {
    pos += c.length;
    c = decode_char(text, pos);
  }
  return after_contraction(text, pos);
}

// The first two alternatives: an optional prefix character, then a word. The prefix is tried
// first, then the word from `begin` itself (which only a mark can start).
std::size_t match_word(std::string_view text, std::size_t begin, Char first) {
  const bool prefixed = is_letter_prefix(first.cls);
  for (auto* match : {&match_cased_word, &match_upper_word}) {
    if (prefixed) {
      if (std::size_t end = match(text, begin + first.length); end != kNoMatch) return end;
    }
    if (std::size_t end = match(text, begin); end != kNoMatch) return end;
  }
  return kNoMatch;
}

// \p{N}{1,3}
std::size_t match_number(std::string_view text, std::size_t pos) {
  for (int count = 0; count < 3; ++count) {
    const Char c = decode_char(text, pos);
    if (c.length == 0 || c.cls != CharClass::kNumber) break;
    pos += c.length;
  }
  return pos;
}

// " ?[^\s\p{L}\p{N}]+[\r\n/]*", given that the character at `pos` is a symbol.
std::size_t match_symbols(std::string_view text, std::size_t pos) {
  Char c = decode_char(text, pos);
  while (c.length != 0 && is_symbol(c.cls)) {
    pos += c.length;
    c = decode_char(text, pos);
  }
  while (pos < text.size() && (text[pos] == '\r' || text[pos] == '\n' || text[pos] == '/')) ++pos;
  return pos;
}

// \s*[\r\n]+ | \s+(?!\S) | \s+, given that the character at `begin` is white space.
std::size_t match_space(std::string_view text, std::size_t begin) {
  std::size_t pos = begin;
  std::size_t after_last_newline = kNoMatch;
  std::size_t last_start = begin;
  int count = 0;
  Char c = decode_char(text, pos);
  while (c.length != 0 && is_space(c.cls)) {
    last_start = pos;
    pos += c.length;
    ++count;
    if (c.cls == CharClass::kNewline) after_last_newline = pos;
    c = decode_char(text, pos);
  }
  if (after_last_newline != kNoMatch) return after_last_newline;
  // Followed by a non-space: the run gives its last character to the next piece.
  if (c.length != 0 && count >= 2) return last_start;
  return pos;
}

}  // namespace

std::size_t next_piece_end(std::string_view text, std::size_t begin) {
  const Char first = decode_char(text, begin);
  if (first.cls != CharClass::kNumber && first.cls != CharClass::kNewline) {
    if (std::size_t end = match_word(text, begin, first); end != kNoMatch) return end;
  }
  if (first.cls == CharClass::kNumber) return match_number(text, begin);
  if (text[begin] == ' ') {
    const Char next = decode_char(text, begin + 1);
    if (next.length != 0 && is_symbol(next.cls)) return match_symbols(text, begin + 1);
  }
  if (is_symbol(first.cls)) return match_symbols(text, begin);
  return match_space(text, begin);
}

}  // namespace platform::tiktoken::internal
