#include "orvane/sql_parsing/internal/parser/parser_impl.hpp"

#include "orvane/sql_parsing/internal/syntax_error.hpp"

namespace orvane::sql_parsing::internal {

void Parser::fail_expected(const std::string& what) const {
  std::string found;
  if (at_end()) {
    found = "end of text";
  } else {
    std::string_view shown = text(cur()).substr(0, 40);
    found = "'" + std::string(shown) + "'";
  }
  throw_syntax_error(sql_, cur().begin, "unexpected " + found + "; expected " + what);
}

void Parser::fail_too_deep() const {
  throw_syntax_error(sql_, cur().begin,
                     "nesting deeper than " + std::to_string(kMaxSqlNestingDepth) + " levels");
}

void Parser::expect_word(std::string_view word) {
  if (!accept_word(word)) fail_expected(std::string(word));
}

std::string Parser::expect_identifier(const char* what) {
  if (!at_identifier()) fail_expected(what);
  std::string name = identifier_name(sql_, cur());
  advance();
  return name;
}

NameParts Parser::parse_object_name() {
  NameParts parts;
  parts.reserve(3);  // db.schema.table, without growing
  parts.push_back(expect_identifier("a table name"));
  while (accept(Punct::kDot)) {
    if (at(Punct::kDot)) {
      parts.emplace_back();  // db..table: the schema is PUBLIC
      continue;
    }
    parts.push_back(expect_identifier("a name"));
  }
  return parts;
}

void Parser::parse_column_list(NameParts* names) {
  expect(Punct::kLParen, "'('");
  do {
    std::string name = expect_identifier("a column name");
    if (names) names->push_back(std::move(name));
  } while (accept(Punct::kComma));
  expect(Punct::kRParen, "')'");
}

// Skips a balanced parenthesised run, keeping any subquery found inside.
void Parser::skip_parenthesised(TreeVector<Query*>& subqueries) {
  DepthGuard guard(*this);
  expect(Punct::kLParen, "'('");
  while (!accept(Punct::kRParen)) {
    if (at_end()) fail_expected("')'");
    if (at(Punct::kLParen)) {
      if (is(peek(), K::kSelect) || is(peek(), K::kWith)) {
        advance();
        subqueries.push_back(parse_query());
        expect(Punct::kRParen, "')'");
      } else {
        skip_parenthesised(subqueries);
      }
    } else {
      advance();
    }
  }
}

}  // namespace orvane::sql_parsing::internal
