#include "orvane/sdk/internal/graphql_text.hpp"

#include <cctype>

#include "platform/errors/errors.hpp"

namespace orvane::sdk::internal {
namespace {

bool is_name_start(char c) { return c == '_' || std::isalpha(static_cast<unsigned char>(c)); }
bool is_name_char(char c) { return c == '_' || std::isalnum(static_cast<unsigned char>(c)); }

}  // namespace

std::size_t skip_ignored(std::string_view text, std::size_t at) {
  while (at < text.size()) {
    const char c = text[at];
    if (c == '#') {
      while (at < text.size() && text[at] != '\n') ++at;
    } else if (std::isspace(static_cast<unsigned char>(c)) || c == ',') {
      ++at;
    } else {
      break;
    }
  }
  return at;
}

std::string read_name(std::string_view text, std::size_t& at) {
  const std::size_t start = at;
  if (at < text.size() && is_name_start(text[at])) {
    while (at < text.size() && is_name_char(text[at])) ++at;
  }
  return std::string(text.substr(start, at - start));
}

std::size_t skip_group(std::string_view text, std::size_t at) {
  const char open = text[at];
  const char close = open == '(' ? ')' : ']';
  int depth = 0;
  for (; at < text.size(); ++at) {
    const char c = text[at];
    if (c == '"') {
      for (++at; at < text.size() && text[at] != '"'; ++at) {
        if (text[at] == '\\') ++at;
      }
    } else if (c == open) {
      ++depth;
    } else if (c == close && --depth == 0) {
      return at + 1;
    }
  }
  throw platform::ValueError(std::string("Syntax Error: Expected \"") + close + "\", found <EOF>.");
}

std::optional<std::string> root_field(std::string_view query) {
  int parentheses = 0;
  std::size_t at = 0;
  for (; at < query.size(); ++at) {
    const char c = query[at];
    if (c == '#') {
      at = skip_ignored(query, at) - 1;
    } else if (c == '"') {
      for (++at; at < query.size() && query[at] != '"'; ++at) {
        if (query[at] == '\\') ++at;
      }
    } else if (c == '(') {
      ++parentheses;
    } else if (c == ')') {
      --parentheses;
    } else if (c == '{' && parentheses == 0) {
      break;
    }
  }
  if (at >= query.size()) return std::nullopt;
  at = skip_ignored(query, at + 1);
  std::string name = read_name(query, at);
  if (name.empty()) return std::nullopt;
  const std::size_t after = skip_ignored(query, at);
  if (after < query.size() && query[after] == ':') {
    at = skip_ignored(query, after + 1);
    name = read_name(query, at);
  }
  if (name.empty()) return std::nullopt;
  return name;
}

}  // namespace orvane::sdk::internal
