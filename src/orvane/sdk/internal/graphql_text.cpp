#include "orvane/sdk/internal/graphql_text.hpp"

#include <cctype>

#include "platform/errors/errors.hpp"

namespace orvane::sdk::internal {
namespace {

bool is_name_start(char c) { return c == '_' || std::isalpha(static_cast<unsigned char>(c)); }
bool is_name_char(char c) { return c == '_' || std::isalnum(static_cast<unsigned char>(c)); }

// Skips blanks, commas (insignificant in GraphQL) and comments.
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

// The offset just past the bracketed group that opens at `at` ("(...)" or "[...]"), strings
// skipped.
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

// Reads the selection set whose "{" is at `at`; leaves `at` just past its "}".
std::vector<SelectedField> read_selection(std::string_view text, std::size_t& at, int depth) {
  if (depth > 64) throw platform::ValueError("Syntax Error: the selection nests too deeply.");
  std::vector<SelectedField> fields;
  at = skip_ignored(text, at + 1);
  while (at < text.size() && text[at] != '}') {
    if (text.substr(at, 3) == "...") {
      throw platform::ValueError("Syntax Error: fragments are not supported.");
    }
    SelectedField field{.name = read_name(text, at)};
    if (field.name.empty()) {
      throw platform::ValueError(std::string("Syntax Error: Expected Name, found \"") + text[at] +
                                 "\".");
    }
    at = skip_ignored(text, at);
    if (at < text.size() && text[at] == ':') {
      at = skip_ignored(text, at + 1);
      field.name = read_name(text, at);
      at = skip_ignored(text, at);
    }
    if (at < text.size() && text[at] == '(') at = skip_ignored(text, skip_group(text, at));
    while (at < text.size() && text[at] == '@') {
      ++at;
      read_name(text, at);
      at = skip_ignored(text, at);
      if (at < text.size() && text[at] == '(') at = skip_ignored(text, skip_group(text, at));
    }
    if (at < text.size() && text[at] == '{') {
      field.selection = read_selection(text, at, depth + 1);
      at = skip_ignored(text, at);
    }
    fields.push_back(std::move(field));
  }
  if (at >= text.size()) throw platform::ValueError("Syntax Error: Expected \"}\", found <EOF>.");
  ++at;
  return fields;
}

}  // namespace

std::vector<SelectedField> operation_selection(std::string_view query) {
  std::size_t at = skip_ignored(query, 0);
  while (at < query.size() && query[at] != '{') {
    if (query[at] == '(') {
      at = skip_group(query, at);
    } else if (query[at] == '"') {
      ++at;
      while (at < query.size() && query[at] != '"') at += query[at] == '\\' ? 2 : 1;
      ++at;
    } else {
      ++at;
    }
    at = skip_ignored(query, at);
  }
  if (at >= query.size()) return {};
  return read_selection(query, at, 0);
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
