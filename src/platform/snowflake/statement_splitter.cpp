#include "platform/snowflake/statement_splitter.hpp"
#include "platform/text/ascii_case.hpp"

#include <cctype>

namespace platform::snowflake {
namespace {

bool is_space(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

std::string_view trim(std::string_view text) {
  while (!text.empty() && is_space(text.front())) text.remove_prefix(1);
  while (!text.empty() && is_space(text.back())) text.remove_suffix(1);
  return text;
}

// The end of the quoted run that starts at `start` (the opening quote), past its closing quote;
// the text's end when it is unterminated.
size_t skip_quoted(std::string_view text, size_t start, char quote, bool backslash_escapes) {
  size_t i = start + 1;
  while (i < text.size()) {
    if (backslash_escapes && text[i] == '\\') {
      i += 2;
    } else if (text[i] == quote) {
      if (i + 1 < text.size() && text[i + 1] == quote) {
        i += 2;  // a doubled quote stands for one
      } else {
        return i + 1;
      }
    } else {
      ++i;
    }
  }
  return text.size();
}

// Past the line break that ends the line of `start`, or the text's end.
size_t end_of_line(std::string_view text, size_t start) {
  const size_t newline = text.find('\n', start);
  return newline == std::string_view::npos ? text.size() : newline + 1;
}

// The end of the comment starting at `start`, or `start` when no comment starts there.
size_t skip_comment(std::string_view text, size_t start) {
  if (text.substr(start).starts_with("--")) return end_of_line(text, start);
  if (text.substr(start).starts_with("/*")) {
    const size_t close = text.find("*/", start + 2);
    return close == std::string_view::npos ? text.size() : close + 2;
  }
  return start;
}

}  // namespace

std::vector<std::string> split_statements(std::string_view text) {
  std::vector<std::string> statements;
  size_t statement_start = 0;
  bool has_code = false;
  auto finish = [&](size_t end) {
    if (has_code)
      statements.emplace_back(trim(text.substr(statement_start, end - statement_start)));
    statement_start = end + 1;
    has_code = false;
  };
  size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (const size_t after_comment = skip_comment(text, i); after_comment != i) {
      i = after_comment;
    } else if (c == ';') {
      finish(i);
      ++i;
    } else if (c == '\'' || c == '"') {
      has_code = true;
      i = skip_quoted(text, i, c, c == '\'');
    } else if (text.substr(i).starts_with("$$")) {
      has_code = true;
      const size_t close = text.find("$$", i + 2);
      i = close == std::string_view::npos ? text.size() : close + 2;
    } else {
      has_code = has_code || !is_space(c);
      ++i;
    }
  }
  finish(text.size());
  return statements;
}

std::string leading_keyword(std::string_view statement) {
  size_t i = 0;
  while (i < statement.size()) {
    if (is_space(statement[i])) {
      ++i;
    } else if (const size_t after_comment = skip_comment(statement, i); after_comment != i) {
      i = after_comment;
    } else if (statement.substr(i).starts_with("//")) {
      i = end_of_line(statement, i);
    } else {
      break;
    }
  }
  std::string keyword;
  while (i < statement.size() && std::isalpha(static_cast<unsigned char>(statement[i]))) {
    keyword += text::ascii_upper(statement[i++]);
  }
  return keyword;
}

bool is_file_transfer(std::string_view statement) {
  const std::string keyword = leading_keyword(statement);
  return keyword == "PUT" || keyword == "GET";
}

}  // namespace platform::snowflake
