#include "tests/fakes/catalogue/internal/selection_set.hpp"

#include "orvane/sdk/internal/graphql_text.hpp"
#include "platform/errors/errors.hpp"

namespace orvane::sdk::internal {
namespace {

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

}  // namespace orvane::sdk::internal
