#include "orvane/sql_parsing/internal/parser/parser_impl.hpp"

namespace orvane::sql_parsing::internal {

Query* Parser::parse_query(bool outermost) {
  DepthGuard guard(*this);
  Query* query = arena_.new_query();
  if (accept(K::kWith)) {
    bool recursive = accept(K::kRecursive);
    do {
      query->ctes.push_back(parse_cte(recursive));
    } while (accept(Punct::kComma));
  }
  parse_set_operations(query, parse_branch(outermost), outermost);
  return query;
}

Cte* Parser::parse_cte(bool recursive) {
  Cte* cte = arena_.new_cte();
  cte->recursive = recursive;
  cte->name = expect_identifier("a CTE name");
  bool query_follows = at(Punct::kLParen) && (is(peek(), K::kSelect) || is(peek(), K::kWith));
  if (!query_follows) {  // `t (SELECT ...)` may leave out the AS
    if (at(Punct::kLParen)) parse_column_list(&cte->columns);
    expect(K::kAs);
  }
  expect(Punct::kLParen, "'('");
  cte->query = parse_query();
  expect(Punct::kRParen, "')'");
  return cte;
}

void Parser::parse_set_operations(Query* query, QueryBranch first, bool outermost) {
  query->branches.push_back(first);
  while (at_set_operator()) {
    advance();
    if (!accept(K::kAll)) accept(K::kDistinct);
    if (at(K::kBy) && is_word(peek(), "NAME")) pos_ += 2;
    query->branches.push_back(parse_branch(outermost));
  }
  parse_query_tail(query);
}

QueryBranch Parser::parse_branch(bool outermost) {
  if (at(K::kSelect)) return QueryBranch{parse_select_core(!outermost), nullptr};
  if (accept(K::kValues)) {
    SelectCore* core = arena_.new_core();  // no items: its columns trace nowhere
    parse_values_rows(core->subqueries);
    return QueryBranch{core, nullptr};
  }
  if (accept(Punct::kLParen)) {
    Query* inner = parse_query(outermost);
    expect(Punct::kRParen, "')'");
    return QueryBranch{nullptr, inner};
  }
  fail_expected("SELECT");
}

// The rows after VALUES: (...), (...).
void Parser::parse_values_rows(TreeVector<Query*>& subqueries) {
  ExprRefs refs;
  do {
    parse_expr_list_in_parens(refs);
  } while (accept(Punct::kComma));
  move_subqueries(refs, subqueries);
}

// ORDER BY, LIMIT, OFFSET and FETCH of a whole query.
void Parser::parse_query_tail(Query* query) {
  ExprRefs refs;
  if (at(K::kOrder) && is(peek(), K::kBy)) {
    pos_ += 2;
    parse_order_items(refs);
  }
  if (accept(K::kLimit)) {
    parse_expr(refs);
    if (accept(K::kOffset)) parse_expr(refs);
  }
  if (accept(K::kOffset)) {
    parse_expr(refs);
    if (!accept(K::kRow)) accept(K::kRows);
  }
  if (accept(K::kFetch)) {
    if (!accept(K::kFirst)) accept(K::kNext);
    if (!at(K::kRow) && !at(K::kRows)) parse_expr(refs);
    if (!accept(K::kRow)) accept(K::kRows);
    accept_word("ONLY");
  }
  move_subqueries(refs, query->subqueries);
}

void Parser::parse_order_items(ExprRefs& refs) {
  do {
    parse_expr(refs);
    if (!accept(K::kAsc)) accept(K::kDesc);
    if (accept(K::kNulls) && !accept(K::kFirst)) expect(K::kLast, "FIRST or LAST");
  } while (accept(Punct::kComma));
}

SelectCore* Parser::parse_select_core(bool keep_item_columns) {
  expect(K::kSelect);
  SelectCore* core = arena_.new_core();
  core->items.reserve(4);
  ExprRefs clause_refs;
  if (!accept(K::kDistinct)) accept(K::kAll);
  if (accept(K::kTop)) parse_operand(clause_refs);
  do {
    parse_select_item(core, keep_item_columns);
  } while (accept(Punct::kComma));
  if (accept(K::kFrom)) parse_from_list(core->from);
  parse_select_clauses(clause_refs);
  move_subqueries(clause_refs, core->subqueries);
  return core;
}

// WHERE, GROUP BY, HAVING, QUALIFY, START WITH, CONNECT BY and WINDOW, in any order.
void Parser::parse_select_clauses(ExprRefs& refs) {
  for (;;) {
    if (accept(K::kWhere) || accept(K::kHaving) || accept(K::kQualify)) {
      parse_expr(refs);
    } else if (at(K::kGroup) && is(peek(), K::kBy)) {
      pos_ += 2;
      parse_group_by(refs);
    } else if (at(K::kStart) && is(peek(), K::kWith)) {
      pos_ += 2;
      parse_expr(refs);
    } else if (at(K::kConnect) && is(peek(), K::kBy)) {
      pos_ += 2;
      accept_word("NOCYCLE");
      parse_expr(refs);
    } else if (at(K::kWindow) && is(peek(2), K::kAs)) {
      advance();
      do {  // WINDOW w AS (PARTITION BY ...), w2 AS (w ORDER BY ...)
        expect_identifier("a window name");
        expect(K::kAs);
        parse_call_arguments({}, refs);
      } while (accept(Punct::kComma));
    } else {
      return;
    }
  }
}

void Parser::parse_group_by(ExprRefs& refs) {
  if (accept(K::kAll)) return;
  do {
    if (at_word("GROUPING") && is_word(peek(), "SETS")) pos_ += 2;
    parse_expr(refs);
  } while (accept(Punct::kComma));
}

// `ident.ident.*`: the qualifier of a qualified star, when one starts here.
bool Parser::at_qualified_star(std::size_t* length) const {
  std::size_t index = pos_;
  for (;;) {
    const Token& name = tokens_[index];
    if (name.kind != TokenKind::kWord && name.kind != TokenKind::kQuotedIdent) return false;
    if (!is(tokens_[index + 1], Punct::kDot)) return false;
    if (is(tokens_[index + 2], Punct::kStar)) {
      *length = index + 3 - pos_;
      return true;
    }
    index += 2;
  }
}

// `*` or `q.*` with its modifiers, when one starts here.
bool Parser::parse_star_item(SelectCore* core) {
  SelectItem item;
  std::size_t star_length = 0;
  if (accept(Punct::kStar)) {
    item.star = true;
  } else if (at_qualified_star(&star_length)) {
    item.star = true;
    for (std::size_t i = 0; i + 1 < star_length; i += 2) {
      item.star_qualifier.push_back(identifier_name(sql_, tokens_[pos_ + i]));
    }
    pos_ += star_length;
  }
  if (!item.star) return false;
  parse_star_modifiers(core->subqueries);
  core->items.push_back(std::move(item));
  return true;
}

void Parser::parse_select_item(SelectCore* core, bool keep_columns) {
  if (parse_star_item(core)) return;
  SelectItem item;
  ExprRefs refs;
  refs.keep_columns = keep_columns;
  std::size_t start = pos_;
  parse_expr(refs);
  if (refs.columns.size() == 1 && pos_ - start == 2 * refs.columns[0].qualifier.size() + 1) {
    item.name = refs.columns[0].column;  // a bare column keeps its name
  }
  if (accept(K::kAs)) {
    item.name = parse_alias_name();
  } else if (at_select_item_alias()) {
    item.name = identifier_name(sql_, cur());
    advance();
  }
  item.columns = std::move(refs.columns);
  move_subqueries(refs, core->subqueries);
  core->items.push_back(std::move(item));
}

// After a select expression no clause of the unreserved keywords can start, so they are
// aliases there.
bool Parser::at_select_item_alias() const {
  return at_implicit_alias() ||
         (cur().kind == TokenKind::kWord && has_flag(cur().keyword, keyword_flag::kUnreserved));
}

std::string Parser::parse_alias_name() {
  if (cur().kind == TokenKind::kString) {
    std::string name = string_value(sql_, cur());
    advance();
    return name;
  }
  return expect_identifier("an alias");
}

// * EXCLUDE (...) RENAME (...) REPLACE (...) ILIKE '...'
void Parser::parse_star_modifiers(TreeVector<Query*>& subqueries) {
  for (;;) {
    if (accept(K::kIlike)) {
      advance();
    } else if (accept(K::kExclude) || accept(K::kRename) || accept(K::kReplace)) {
      if (at(Punct::kLParen)) {
        skip_parenthesised(subqueries);
      } else {
        expect_identifier("a column name");
        if (accept(K::kAs)) expect_identifier("a column name");
      }
    } else {
      return;
    }
  }
}

}  // namespace orvane::sql_parsing::internal
