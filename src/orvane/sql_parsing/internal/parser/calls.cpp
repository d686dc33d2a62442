#include "orvane/sql_parsing/internal/parser/parser_impl.hpp"

namespace orvane::sql_parsing::internal {

void Parser::parse_type() {
  if (!at_identifier()) fail_expected("a type name");
  advance();
  accept_word("PRECISION");
  accept_word("VARYING");
  if (at(Punct::kLParen)) {
    TreeVector<Query*> ignored;
    skip_parenthesised(ignored);
  }
  // TIMESTAMP WITH [LOCAL] TIME ZONE, TIMESTAMP WITHOUT TIME ZONE
  if ((at(K::kWith) && (is_word(peek(), "LOCAL") || is_word(peek(), "TIME"))) ||
      at_word("WITHOUT")) {
    advance();
    accept_word("LOCAL");
    expect_word("TIME");
    expect_word("ZONE");
  }
}

// Arguments of a function call or window: expressions with the keywords that may sit between
// them (DISTINCT, ORDER BY, PARTITION BY, frames, AS type, FROM/FOR/IN, name => value).
void Parser::parse_call_arguments(std::string_view function, ExprRefs& refs) {
  expect(Punct::kLParen, "'('");
  if (is_one_of(function, kDatePartFirstFunctions) &&
      (cur().kind == TokenKind::kWord || cur().kind == TokenKind::kString) &&
      (is(peek(), Punct::kComma) || is(peek(), K::kFrom))) {
    advance();
  }
  while (!accept(Punct::kRParen)) {
    if (accept(Punct::kComma) || accept(Punct::kStar)) continue;
    if ((cur().kind == TokenKind::kWord || cur().kind == TokenKind::kQuotedIdent) &&
        is(peek(), Punct::kFatArrow)) {
      pos_ += 2;  // named argument
      continue;
    }
    if (accept(K::kAs)) {
      parse_type();
      continue;
    }
    if (skip_argument_keyword()) continue;
    // SEMANTIC_VIEW(v METRICS ... DIMENSIONS ... WHERE ...): its clauses are its arguments.
    if (at(K::kWhere) && equals_ignore_case(function, "SEMANTIC_VIEW")) {
      advance();
      continue;
    }
    parse_expr(refs);
  }
}

// A keyword, or a pair of them, that may stand between a call's arguments.
bool Parser::skip_argument_keyword() {
  K keyword = keyword_at(cur());
  if (has_flag(keyword, keyword_flag::kCallArgumentWord)) {
    advance();
    return true;
  }
  bool pair = false;
  switch (keyword) {
    case K::kOrder:
    case K::kPartition:
      pair = is(peek(), K::kBy);
      break;
    case K::kCurrent:
      pair = is(peek(), K::kRow);
      break;
    case K::kNulls:
      pair = is(peek(), K::kFirst) || is(peek(), K::kLast);
      break;
    case K::kIgnore:
    case K::kRespect:
      pair = is(peek(), K::kNulls);
      break;
    default:
      break;
  }
  if (pair) pos_ += 2;
  return pair;
}

// FROM FIRST/LAST (of NTH_VALUE), IGNORE NULLS, WITHIN GROUP (...), FILTER (WHERE ...),
// OVER (...) or OVER name after a call.
void Parser::parse_call_suffixes(std::string_view function, ExprRefs& refs) {
  if (at(K::kFrom) && (is(peek(), K::kFirst) || is(peek(), K::kLast)) &&
      equals_ignore_case(function, "NTH_VALUE")) {
    pos_ += 2;
  }
  if ((at(K::kIgnore) || at(K::kRespect)) && is(peek(), K::kNulls)) pos_ += 2;
  if (at(K::kWithin) && is(peek(), K::kGroup)) {
    pos_ += 2;
    parse_call_arguments({}, refs);
  }
  if (at_word("FILTER") && is(peek(), Punct::kLParen) && is(peek(2), K::kWhere)) {
    pos_ += 3;
    parse_expr(refs);
    expect(Punct::kRParen, "')'");
  }
  if (accept(K::kOver)) {
    if (at(Punct::kLParen)) {
      parse_call_arguments({}, refs);
    } else {
      expect_identifier("a window name");
    }
  }
}

}  // namespace orvane::sql_parsing::internal
