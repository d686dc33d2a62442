#include "orvane/sql_parsing/internal/token.hpp"

#include "platform/text/lower_case.hpp"

namespace orvane::sql_parsing::internal {

std::string identifier_name(std::string_view sql, const Token& token) {
  std::string_view text = sql.substr(token.begin, token.end - token.begin);
  if (token.kind == TokenKind::kQuotedIdent) {
    text = text.substr(1, text.size() - 2);
    if (text.find('"') != std::string_view::npos) {
      std::string unquoted;
      unquoted.reserve(text.size());
      for (std::size_t i = 0; i < text.size(); ++i) {
        unquoted.push_back(text[i]);
        if (text[i] == '"') ++i;  // a doubled quote stands for one
      }
      return platform::text::lower_case(unquoted);
    }
  }
  return platform::text::lower_case(text);
}

std::string string_value(std::string_view sql, const Token& token) {
  std::string_view text = sql.substr(token.begin, token.end - token.begin);
  if (text.starts_with("$$")) return std::string(text.substr(2, text.size() - 4));
  if (text.front() != '\'') text.remove_prefix(1);  // X'..' and similar prefixes
  text = text.substr(1, text.size() - 2);
  std::string value;
  value.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if ((c == '\\' || c == '\'') && i + 1 < text.size()) c = text[++i];
    value.push_back(c);
  }
  return value;
}

}  // namespace orvane::sql_parsing::internal
