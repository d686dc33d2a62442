#include "platform/yaml/internal/strict_scan.hpp"

#include <yaml.h>

#include <algorithm>
#include <vector>

namespace platform::yaml::internal {
namespace {

// What covers each character: nothing (white space and comments between tokens), a token in
// which tabs are content (quoted scalars, indicators), a plain scalar, or a block scalar (whose
// header line follows the rules between tokens).
enum Cover : unsigned char {
  kBetweenTokens = 0,
  kTabsAllowed = 1,
  kPlainScalar = 2,
  kBlockScalar = 3,
  kFlowPlainScalar = 4,  // a plain scalar inside [] or {}, which the reference ends at "?"
};

// Marks every token's characters; returns how far the scan got (in characters).
std::size_t mark_tokens(std::string_view text, std::vector<unsigned char>& cover) {
  yaml_parser_t parser;
  yaml_parser_initialize(&parser);
  yaml_parser_set_encoding(&parser, YAML_UTF8_ENCODING);
  yaml_parser_set_input_string(&parser, reinterpret_cast<const unsigned char*>(text.data()),
                               text.size());
  std::size_t scanned = 0;
  int flow_level = 0;
  while (true) {
    yaml_token_t token;
    if (!yaml_parser_scan(&parser, &token)) break;
    const yaml_token_type_t type = token.type;
    if (type == YAML_FLOW_SEQUENCE_START_TOKEN || type == YAML_FLOW_MAPPING_START_TOKEN) {
      ++flow_level;
    } else if (type == YAML_FLOW_SEQUENCE_END_TOKEN || type == YAML_FLOW_MAPPING_END_TOKEN) {
      --flow_level;
    }
    const std::size_t end = token.end_mark.index;
    scanned = std::max(scanned, end);
    Cover kind = kTabsAllowed;
    if (type == YAML_SCALAR_TOKEN) {
      switch (token.data.scalar.style) {
        case YAML_PLAIN_SCALAR_STYLE:
          kind = flow_level > 0 ? kFlowPlainScalar : kPlainScalar;
          break;
        case YAML_LITERAL_SCALAR_STYLE:
        case YAML_FOLDED_SCALAR_STYLE:
          kind = kBlockScalar;
          break;
        default:
          break;
      }
    }
    for (std::size_t i = token.start_mark.index; i < end && i < cover.size(); ++i) cover[i] = kind;
    yaml_token_delete(&token);
    if (type == YAML_STREAM_END_TOKEN) break;
  }
  yaml_parser_delete(&parser);
  return scanned;
}

bool is_block_indicator(char c) { return c == '|' || c == '>'; }
bool is_header_modifier(char c) { return c == '+' || c == '-' || (c >= '1' && c <= '9'); }

// Whether a "#" follows a block scalar's indicators ("|", then at most a chomping and an
// indentation indicator) without a space: a comment for libyaml, an error for the reference.
// (Any other character there is refused by both, a tab by the tab rule.)
bool header_comment_without_space(std::string_view text, std::size_t indicator) {
  std::size_t pos = indicator + 1;
  for (int i = 0; i < 2 && pos < text.size() && is_header_modifier(text[pos]); ++i) ++pos;
  return pos < text.size() && text[pos] == '#';
}

}  // namespace

std::size_t line_break_length(std::string_view text, std::size_t pos) {
  const std::string_view rest = text.substr(pos);
  if (rest.starts_with("\r\n")) return 2;
  if (rest.starts_with('\n') || rest.starts_with('\r')) return 1;
  if (rest.starts_with("\xC2\x85")) return 2;
  if (rest.starts_with("\xE2\x80\xA8") || rest.starts_with("\xE2\x80\xA9")) return 3;
  return 0;
}

bool ends_with_line_break(std::string_view text) {
  return text.ends_with('\n') || text.ends_with('\r') || text.ends_with("\xC2\x85") ||
         text.ends_with("\xE2\x80\xA8") || text.ends_with("\xE2\x80\xA9");
}

std::size_t count_line_breaks(std::string_view text) {
  std::size_t count = 0;
  for (std::size_t pos = 0; pos < text.size();) {
    const std::size_t length = line_break_length(text, pos);
    count += length > 0 ? 1 : 0;
    pos += length > 0 ? length : 1;
  }
  return count;
}

bool needs_strict_scan(std::string_view text) {
  if (text.find('\t') != std::string_view::npos) return true;
  if (text.find('?') != std::string_view::npos &&
      text.find_first_of("[{") != std::string_view::npos) {
    return true;
  }
  for (std::size_t hash = text.find('#'); hash != std::string_view::npos;
       hash = text.find('#', hash + 1)) {
    std::size_t before = hash;
    for (int i = 0; i < 2 && before > 0 && is_header_modifier(text[before - 1]); ++i) --before;
    if (before > 0 && is_block_indicator(text[before - 1])) return true;
  }
  return false;
}

std::optional<Refusal> find_refusal(std::string_view text) {
  std::vector<unsigned char> cover(text.size(), kBetweenTokens);
  const std::size_t scanned = mark_tokens(text, cover);
  Refusal at;
  bool in_comment = false;
  bool in_block_header = false;
  std::size_t index = 0;  // in characters
  for (std::size_t byte = 0; byte < text.size() && index < scanned; ++byte) {
    const auto c = static_cast<unsigned char>(text[byte]);
    if ((c & 0xC0) == 0x80) continue;  // continuation byte of the same character
    Cover kind = static_cast<Cover>(cover[index]);
    if (kind == kBlockScalar && (index == 0 || cover[index - 1] != kBlockScalar)) {
      in_block_header = true;
      if (header_comment_without_space(text, byte)) {
        at.message = "expected chomping or indentation indicators, but found '#'";
        at.column += text.find('#', byte) - byte;
        return at;
      }
    }
    if (in_block_header) kind = kBetweenTokens;
    if (const std::size_t length = line_break_length(text, byte)) {
      in_comment = in_block_header = false;
      ++at.line;
      at.column = 0;
      index += text[byte] == '\r' && length == 2 ? 2 : 1;  // "\r\n" is two characters
      byte += length - 1;
      continue;
    }
    if (kind == kBetweenTokens && c == '#') in_comment = true;
    if (c == '?' && kind == kFlowPlainScalar) {
      at.message = "found '?' inside a plain scalar in a flow collection";
      return at;
    }
    if (c == '\t' && !in_comment &&
        (kind == kBetweenTokens || kind == kPlainScalar || kind == kFlowPlainScalar)) {
      at.message = "found character '\\t' that cannot start any token";
      return at;
    }
    ++at.column;
    ++index;
  }
  return std::nullopt;
}

}  // namespace platform::yaml::internal
