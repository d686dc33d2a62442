#include "orvane_semantic_agent/cortex/internal/stage_reference.hpp"

#include <cctype>
#include <string_view>

namespace orvane_semantic_agent::cortex::internal {
namespace {

bool is_identifier_start(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
bool is_identifier_char(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$';
}
bool is_path_char(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) ||
         std::string_view("_-.=+,:@$~!()%").find(c) != std::string_view::npos;
}

// Reads one name at `at`; false when there is none.
bool read_name(std::string_view text, size_t& at) {
  if (at < text.size() && text[at] == '"') {
    size_t length = 0;
    for (++at; at < text.size(); ++at) {
      const char c = text[at];
      if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return false;
      if (c != '"') {
        ++length;
      } else if (at + 1 < text.size() && text[at + 1] == '"') {
        ++at;
        ++length;
      } else {
        ++at;
        return length > 0;
      }
    }
    return false;
  }
  if (at >= text.size() || !is_identifier_start(text[at])) return false;
  while (at < text.size() && is_identifier_char(text[at])) ++at;
  return true;
}

}  // namespace

bool is_one_stage_reference(std::string_view text) {
  if (!text.starts_with('@')) return false;
  size_t at = 1;
  if (at < text.size() && text[at] == '~') {
    ++at;
  } else {
    for (int part = 0;; ++part) {
      if (part == 3) return false;
      const bool table_stage = at < text.size() && text[at] == '%';
      if (table_stage) ++at;
      if (!read_name(text, at)) return false;
      if (at < text.size() && text[at] == '.' && !table_stage) {
        ++at;
        continue;
      }
      break;
    }
  }
  if (at == text.size()) return true;
  if (text[at] != '/') return false;
  for (; at < text.size(); ++at) {
    if (text[at] != '/' && !is_path_char(text[at])) return false;
  }
  return true;
}

}  // namespace orvane_semantic_agent::cortex::internal
