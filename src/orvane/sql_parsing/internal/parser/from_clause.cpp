#include "orvane/sql_parsing/internal/parser/parser_impl.hpp"
#include "platform/text/lower_case.hpp"

namespace orvane::sql_parsing::internal {
namespace {

// Splits the text of IDENTIFIER('db."My Schema".t') into lower-cased name parts.
NameParts split_identifier_text(std::string_view text) {
  NameParts parts(1);
  bool quoted = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '"') {
      if (quoted && i + 1 < text.size() && text[i + 1] == '"') {
        parts.back().push_back('"');
        ++i;
      } else {
        quoted = !quoted;
      }
    } else if (c == '.' && !quoted) {
      parts.emplace_back();
    } else {
      parts.back().push_back(c);
    }
  }
  for (std::string& part : parts) part = platform::text::lower_case(part);
  return parts;
}

}  // namespace

void Parser::parse_from_list(TreeVector<FromTerm>& from) {
  do {
    FromTerm term;
    term.first = parse_from_primary();
    parse_join_steps(term);
    from.push_back(std::move(term));
  } while (accept(Punct::kComma));
}

// Reads a join operator (NATURAL, INNER/LEFT/RIGHT/FULL [OUTER], CROSS, ASOF, DIRECTED, JOIN)
// when one starts here.
bool Parser::parse_join_operator(std::string* join_type) {
  std::size_t start = pos_;
  bool natural = accept(K::kNatural);
  std::string type = "INNER";
  if (accept(K::kInner)) {
  } else if (accept(K::kLeft)) {
    type = "LEFT OUTER";
  } else if (accept(K::kRight)) {
    type = "RIGHT OUTER";
  } else if (accept(K::kFull)) {
    type = "FULL OUTER";
  } else if (accept(K::kCross)) {
    type = "CROSS";
  } else if (accept(K::kAsof)) {
    type = "ASOF";
  }
  accept(K::kOuter);
  accept(K::kDirected);
  if (!accept(K::kJoin)) {
    pos_ = start;
    return false;
  }
  *join_type = natural ? "NATURAL " + type : type;
  return true;
}

void Parser::parse_join_steps(FromTerm& term) {
  for (;;) {
    JoinStep step;
    step.condition.keep_columns = true;
    step.position = cur().begin;
    if (!parse_join_operator(&step.join_type)) return;
    step.right = parse_from_primary();
    parse_join_condition(step);
    if (term.joins.empty()) term.joins.reserve(4);
    term.joins.push_back(std::move(step));
  }
}

// MATCH_CONDITION (...) of an ASOF join, then ON ... or USING (...); the condition's text spans
// them all.
void Parser::parse_join_condition(JoinStep& step) {
  if (at(K::kMatchCondition)) {
    step.has_condition = true;
    step.condition_begin = cur().begin;
    advance();
    expect(Punct::kLParen, "'('");
    parse_expr(step.condition);
    expect(Punct::kRParen, "')'");
    step.condition_end = previous_end();
  }
  if (at(K::kOn)) {
    if (!step.has_condition) step.condition_begin = peek().begin;
    step.has_condition = true;
    advance();
    parse_expr(step.condition);
    step.condition_end = previous_end();
  } else if (at(K::kUsing)) {
    if (!step.has_condition) step.condition_begin = cur().begin;
    step.has_condition = true;
    advance();
    expect(Punct::kLParen, "'('");
    do {  // USING (id) or, qualified, USING (t.id)
      NameParts name = parse_object_name();
      step.condition.columns.push_back(ColumnRef{{}, std::move(name.back())});
    } while (accept(Punct::kComma));
    expect(Punct::kRParen, "')'");
    step.condition_end = previous_end();
  }
}

FromItem* Parser::parse_from_primary() {
  DepthGuard guard(*this);
  accept(K::kLateral);
  FromItem* item = nullptr;
  if (at(Punct::kLParen)) {
    item = parse_parenthesised_from();
  } else if (at(Punct::kLBrace) && is_word(peek(), "OJ")) {  // ODBC outer join escape
    pos_ += 2;
    item = parse_join_group(nullptr);
    expect(Punct::kRBrace, "'}'");
  } else if (cur().kind == TokenKind::kStage ||
             (cur().kind == TokenKind::kString && text(cur()).starts_with("'@"))) {
    item = arena_.new_from_item(FromKind::kStage);
    advance();
    if (at(Punct::kLParen)) skip_parenthesised(item->subqueries);  // FILE_FORMAT => ...
  } else if (accept(K::kValues)) {
    item = arena_.new_from_item(FromKind::kValues);
    parse_values_rows(item->subqueries);
  } else if (at_word("IDENTIFIER") && is(peek(), Punct::kLParen)) {
    item = parse_identifier_from();
  } else if (at_identifier() &&
             (cur().kind == TokenKind::kQuotedIdent ||
              !has_flag(cur().keyword, keyword_flag::kClause) ||
              has_flag(cur().keyword, keyword_flag::kUnreserved) || is(peek(), Punct::kLParen))) {
    item = parse_named_from();
  } else {
    fail_expected("a table");
  }
  parse_from_suffixes(item);
  return item;
}

// IDENTIFIER('db.s.t') names a table by text; IDENTIFIER($var) one unknown here, and
// IDENTIFIER('f')(...) a table function.
FromItem* Parser::parse_identifier_from() {
  pos_ += 2;
  FromItem* item = nullptr;
  if (cur().kind == TokenKind::kString) {
    item = arena_.new_from_item(FromKind::kTable);
    item->name = split_identifier_text(string_value(sql_, cur()));
    advance();
  } else {
    item = arena_.new_from_item(FromKind::kFunction);
    ExprRefs refs;
    parse_expr(refs);
  }
  expect(Punct::kRParen, "')'");
  if (at(Punct::kLParen)) {
    item = arena_.new_from_item(FromKind::kFunction);
    ExprRefs refs;
    parse_call_arguments({}, refs);
    move_subqueries(refs, item->subqueries);
  }
  return item;
}

// A table, or a table function: FLATTEN(...), TABLE(...), GENERATOR(...), SPLIT_TO_TABLE(...),
// model!FORECAST(...), ...
FromItem* Parser::parse_named_from() {
  NameParts name = parse_object_name();
  if (!accept_model_method() && !at(Punct::kLParen)) {
    FromItem* item = arena_.new_from_item(FromKind::kTable);
    item->name = std::move(name);
    return item;
  }
  FromItem* item = arena_.new_from_item(FromKind::kFunction);
  item->name = std::move(name);
  ExprRefs refs;
  parse_call_arguments(text(tokens_[pos_ - 1]), refs);
  move_subqueries(refs, item->subqueries);
  return item;
}

// After '(' in FROM: a subquery, a parenthesised join, or a subquery that continues with a
// set operation: ((SELECT ...) UNION (SELECT ...)).
FromItem* Parser::parse_parenthesised_from() {
  DepthGuard guard(*this);
  expect(Punct::kLParen, "'('");
  FromItem* item = nullptr;
  if (at_query_start() || at(K::kValues)) {
    item = arena_.new_from_item(FromKind::kSubquery);
    item->query = parse_query();
  } else {
    FromItem* first = at(Punct::kLParen) ? parse_parenthesised_from() : nullptr;
    if (first && first->kind == FromKind::kSubquery && first->alias.empty() &&
        (at_set_operator() || at(K::kOrder) || at(K::kLimit))) {
      item = arena_.new_from_item(FromKind::kSubquery);
      item->query = arena_.new_query();
      parse_set_operations(item->query, QueryBranch{nullptr, first->query});
    } else {
      item = parse_join_group(first);
    }
  }
  expect(Punct::kRParen, "')'");
  return item;
}

// `a JOIN b ON ...` in parentheses or in {oj ...}, `first` (its suffixes still to come) being
// an item read already: the one item when no JOIN follows, else a group.
FromItem* Parser::parse_join_group(FromItem* first) {
  FromTerm term;
  if (first) {
    parse_from_suffixes(first);
    term.first = first;
  } else {
    term.first = parse_from_primary();
  }
  parse_join_steps(term);
  if (term.joins.empty()) return term.first;
  FromItem* group = arena_.new_from_item(FromKind::kGroup);
  group->group = std::move(term);
  return group;
}

// Alias, column aliases, time travel, SAMPLE, PIVOT/UNPIVOT, MATCH_RECOGNIZE, in any order.
void Parser::parse_from_suffixes(FromItem* item) {
  for (;;) {
    if (parse_from_clause_suffix(item)) continue;
    if (accept(K::kAs)) {
      item->alias = expect_identifier("an alias");
    } else if (at_table_alias()) {
      item->alias = identifier_name(sql_, cur());
      advance();
    } else {
      return;
    }
    parse_column_aliases(item);
  }
}

// One suffix that is no alias, when one starts here.
bool Parser::parse_from_clause_suffix(FromItem* item) {
  if ((at(K::kAt) || at(K::kBefore) || at(K::kChanges) || at(K::kEnd)) &&
      is(peek(), Punct::kLParen)) {
    advance();
    skip_parenthesised(item->subqueries);
  } else if (accept(K::kSample) || accept(K::kTablesample)) {
    if (cur().kind == TokenKind::kWord) advance();  // BERNOULLI, SYSTEM, ROW, BLOCK
    skip_parenthesised(item->subqueries);
    if ((at_word("REPEATABLE") || at_word("SEED")) && is(peek(), Punct::kLParen)) {
      advance();
      skip_parenthesised(item->subqueries);
    }
  } else if ((at(K::kPivot) || at(K::kUnpivot)) && !at_table_alias()) {
    advance();
    if (accept_word("INCLUDE") || accept(K::kExclude)) expect(K::kNulls);
    skip_parenthesised(item->subqueries);
    item->pivoted = true;
  } else if (accept(K::kMatchRecognize)) {
    skip_parenthesised(item->subqueries);
    item->pivoted = true;
  } else if (at(K::kWith) && is_word(peek(), "ORDINALITY")) {  // UNNEST(x) WITH ORDINALITY
    pos_ += 2;
  } else {
    return false;
  }
  return true;
}

void Parser::parse_column_aliases(FromItem* item) {
  if (!at(Punct::kLParen)) return;
  item->column_aliases.clear();
  parse_column_list(&item->column_aliases);
}

// After a table the unreserved keywords are an alias unless their clause follows: `(` for
// PIVOT, UNPIVOT and MATCH_CONDITION, INCLUDE/EXCLUDE NULLS, or the window name of
// `WINDOW w AS (...)`.
bool Parser::at_table_alias() const {
  if (at_implicit_alias()) return true;
  if (cur().kind != TokenKind::kWord || !has_flag(cur().keyword, keyword_flag::kUnreserved)) {
    return false;
  }
  const Token& next = peek();
  if (is(next, Punct::kLParen) || is(next, K::kExclude) || next.kind == TokenKind::kQuotedIdent) {
    return false;
  }
  return !(next.kind == TokenKind::kWord && next.keyword == K::kNone);
}

}  // namespace orvane::sql_parsing::internal
