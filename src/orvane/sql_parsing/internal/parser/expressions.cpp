#include "orvane/sql_parsing/internal/parser/parser_impl.hpp"

// The helpers below marked inline are used in this file only. The mark lets g++ fold them into
// parse_operand, the parser's hottest path, as it did when all of the class was in one body.

namespace orvane::sql_parsing::internal {

void Parser::parse_expr(ExprRefs& refs) {
  DepthGuard guard(*this);
  do {
    parse_operand(refs);
  } while (parse_binary_operator());
}

void Parser::parse_expr_list(ExprRefs& refs) {
  do {
    parse_expr(refs);
  } while (accept(Punct::kComma));
}

void Parser::parse_expr_list_in_parens(ExprRefs& refs) {
  expect(Punct::kLParen, "'('");
  if (accept(Punct::kRParen)) return;
  parse_expr_list(refs);
  expect(Punct::kRParen, "')'");
}

// Consumes an infix operator, after which an operand follows.
inline bool Parser::parse_binary_operator() {
  const Token& token = cur();
  if (token.kind == TokenKind::kPunct) {
    if (token.punct == Punct::kOperator || token.punct == Punct::kStar ||
        token.punct == Punct::kFatArrow) {
      advance();
      return true;
    }
    return false;
  }
  if (token.kind != TokenKind::kWord) return false;
  if (has_flag(token.keyword, keyword_flag::kInfix)) {
    advance();
    return true;
  }
  if (token.keyword == K::kNot) {
    if (!has_flag(keyword_at(peek()), keyword_flag::kNegatableInfix)) return false;
    pos_ += 2;
    return true;
  }
  if (token.keyword == K::kIs) {
    advance();
    accept(K::kNot);
    if (accept(K::kDistinct)) expect(K::kFrom);
    return true;
  }
  return accept_word("COLLATE");
}

// CONNECT_BY_ROOT col; alone it is a column of that name.
inline bool Parser::at_connect_by_root() const {
  if (!at_word("CONNECT_BY_ROOT")) return false;
  const Token& next = peek();
  return next.kind == TokenKind::kQuotedIdent ||
         (next.kind == TokenKind::kWord && !has_flag(next.keyword, keyword_flag::kClause));
}

void Parser::parse_operand(ExprRefs& refs) {
  while (at(K::kNot) || at(K::kPrior) || at_operator("-") || at_operator("+") || at_operator("~") ||
         at_connect_by_root()) {
    advance();  // prefix operators
  }
  parse_primary(refs);
  parse_postfix(refs);
}

inline void Parser::parse_primary(ExprRefs& refs) {
  switch (cur().kind) {
    case TokenKind::kNumber:
    case TokenKind::kString:
    case TokenKind::kVariable:
    case TokenKind::kStage:  // DIRECTORY(@stage), GET_PRESIGNED_URL(@stage, path)
      advance();
      return;
    case TokenKind::kEnd:
      fail_expected("an expression");
    case TokenKind::kPunct:
      return parse_punct_primary(refs);
    case TokenKind::kWord:
      if (parse_word_primary(refs)) return;
      break;
    case TokenKind::kQuotedIdent:
      break;
  }
  parse_column_or_call(refs);
}

// A literal, subquery, CASE, INTERVAL, call or typed literal that starts with a word; false
// when the word starts a column (or a call of a qualified function).
inline bool Parser::parse_word_primary(ExprRefs& refs) {
  const Token& token = cur();
  switch (token.keyword) {
    case K::kNull:
    case K::kTrue:
    case K::kFalse:
      advance();
      return true;
    case K::kSelect:
    case K::kWith:
      refs.subqueries.push_back(parse_query());
      return true;
    case K::kCase:
      parse_case(refs);
      return true;
    case K::kInterval:
      advance();
      parse_operand(refs);
      return true;
    default:
      break;
  }
  if (is(peek(), Punct::kLParen) && token.keyword != K::kIn && !outer_join_marker_at(1)) {
    std::string_view name = text(token);
    advance();
    parse_call_arguments(name, refs);
    // IDENTIFIER('f')(...) calls the function the text names.
    if (at(Punct::kLParen) && equals_ignore_case(name, "IDENTIFIER")) {
      parse_call_arguments({}, refs);
    }
    parse_call_suffixes(name, refs);
    return true;
  }
  if (peek().kind == TokenKind::kString && is_one_of(text(token), kTypedLiteralPrefixes)) {
    pos_ += 2;
    return true;
  }
  if (has_flag(token.keyword, keyword_flag::kClause) &&
      !has_flag(token.keyword, keyword_flag::kUnreserved)) {
    fail_expected("an expression");
  }
  return false;
}

inline void Parser::parse_punct_primary(ExprRefs& refs) {
  switch (cur().punct) {
    case Punct::kLParen:
      advance();
      if (at_query_start()) {
        refs.subqueries.push_back(parse_query());
      } else {
        parse_expr_list(refs);
      }
      expect(Punct::kRParen, "')'");
      return;
    case Punct::kLBracket:
      advance();
      if (!accept(Punct::kRBracket)) {
        parse_expr_list(refs);
        expect(Punct::kRBracket, "']'");
      }
      return;
    case Punct::kLBrace:
      return parse_braced(refs);
    case Punct::kQuestion:
      advance();
      return;
    case Punct::kColon:  // :name or :1 bind variable
      if (peek().kind == TokenKind::kWord || peek().kind == TokenKind::kNumber) {
        pos_ += 2;
        return;
      }
      break;
    default:
      break;
  }
  fail_expected("an expression");
}

// An object constant {'key': value, ...}, possibly of wildcards ({*}, {t.* EXCLUDE c},
// {* ILIKE 'a%'}), or an ODBC escape: {fn func(...)}, {d '...'}, {t '...'}, {ts '...'}.
void Parser::parse_braced(ExprRefs& refs) {
  expect(Punct::kLBrace, "'{'");
  if (accept_word("FN")) {
    parse_expr(refs);
  } else if ((at_word("D") || at_word("T") || at_word("TS")) && peek().kind == TokenKind::kString) {
    pos_ += 2;
  } else if (!at(Punct::kRBrace)) {
    do {
      std::size_t star_length = 0;
      if (accept(Punct::kStar) || at_qualified_star(&star_length)) {
        pos_ += star_length;
        parse_star_modifiers(refs.subqueries);
        continue;
      }
      if (cur().kind != TokenKind::kString) fail_expected("a string key");
      advance();
      expect(Punct::kColon, "':'");
      parse_expr(refs);
    } while (accept(Punct::kComma));
  }
  expect(Punct::kRBrace, "'}'");
}

// name, q.name, db.s.t.name, or a call: db.s.func(...).
inline void Parser::parse_column_or_call(ExprRefs& refs) {
  if (!refs.keep_columns) return skip_column_or_call(refs);
  ColumnRef ref;
  ref.column = identifier_name(sql_, cur());
  bool niladic = cur().kind == TokenKind::kWord && is_one_of(text(cur()), kNiladicFunctions);
  advance();
  while (at(Punct::kDot)) {
    const Token& next = peek();
    if (next.kind == TokenKind::kWord || next.kind == TokenKind::kQuotedIdent ||
        next.kind == TokenKind::kVariable) {
      ref.qualifier.push_back(std::move(ref.column));
      ref.column = identifier_name(sql_, next);
      pos_ += 2;
    } else if (is(next, Punct::kStar)) {
      pos_ += 2;  // COUNT(t.*)
      return;
    } else {
      break;
    }
  }
  if (parse_call_after_name(refs)) return;
  if (niladic && ref.qualifier.empty()) return;
  if (refs.columns.empty()) refs.columns.reserve(4);
  refs.columns.push_back(std::move(ref));
}

// parse_column_or_call for expressions whose columns are not kept.
inline void Parser::skip_column_or_call(ExprRefs& refs) {
  advance();
  while (at(Punct::kDot)) {
    const Token& next = peek();
    if (next.kind == TokenKind::kWord || next.kind == TokenKind::kQuotedIdent ||
        next.kind == TokenKind::kVariable || is(next, Punct::kStar)) {
      pos_ += 2;
    } else {
      break;
    }
  }
  parse_call_after_name(refs);
}

// The arguments and suffixes of a call, when the name just read is one: f(...), model!m(...).
inline bool Parser::parse_call_after_name(ExprRefs& refs) {
  if (!(at(Punct::kLParen) && !accept_outer_join_marker()) && !accept_model_method()) {
    return false;
  }
  std::string_view last = text(tokens_[pos_ - 1]);
  parse_call_arguments(last, refs);
  parse_call_suffixes(last, refs);
  return true;
}

void Parser::parse_case(ExprRefs& refs) {
  expect(K::kCase);
  if (!at(K::kWhen)) parse_expr(refs);
  while (accept(K::kWhen)) {
    parse_expr(refs);
    expect(K::kThen);
    parse_expr(refs);
  }
  if (accept(K::kElse)) parse_expr(refs);
  expect(K::kEnd);
}

inline void Parser::parse_postfix(ExprRefs& refs) {
  for (;;) {
    if (accept(Punct::kDoubleColon)) {
      parse_type();
    } else if (at(Punct::kColon) || at(Punct::kDot)) {
      // Variant path: col:a.b, col:"Key", col:items[0].id
      const Token& next = peek();
      if (next.kind != TokenKind::kWord && next.kind != TokenKind::kQuotedIdent &&
          next.kind != TokenKind::kString && next.kind != TokenKind::kNumber) {
        if (at(Punct::kDot)) return;
        fail_expected("a path element");
      }
      pos_ += 2;
    } else if (at(Punct::kLBracket)) {
      advance();
      parse_expr(refs);
      expect(Punct::kRBracket, "']'");
    } else {
      return;
    }
  }
}

}  // namespace orvane::sql_parsing::internal
