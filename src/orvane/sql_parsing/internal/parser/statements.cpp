#include "orvane/sql_parsing/internal/parser.hpp"
#include "orvane/sql_parsing/internal/parser/parser_impl.hpp"

namespace orvane::sql_parsing::internal {

TreeVector<Statement> parse_statements(std::string_view sql, const std::vector<Token>& tokens,
                                       SyntaxArena& arena) {
  return Parser(sql, tokens, arena).parse_all();
}

TreeVector<Statement> Parser::parse_all() {
  TreeVector<Statement> statements;
  while (!at_end()) {
    if (accept(Punct::kSemicolon)) continue;
    statements.push_back(parse_statement());
    if (!at_end() && !at(Punct::kSemicolon)) fail_expected("end of statement");
  }
  return statements;
}

Statement Parser::parse_statement() {
  Statement statement;
  parse_statement_into(statement);
  return statement;
}

void Parser::parse_statement_into(Statement& statement) {
  if (at_query_start() || at(Punct::kLParen) || at(K::kValues)) {
    statement.queries.push_back(parse_query(kOutermost));
  } else if (at(K::kInsert)) {
    parse_insert(statement);
  } else if (at(K::kCreate)) {
    parse_create(statement);
  } else if (at(K::kMerge)) {
    parse_merge(statement);
  } else if (at(K::kUpdate)) {
    parse_update(statement);
  } else if (at(K::kDelete)) {
    parse_delete(statement);
  } else if (at(K::kCopy)) {
    parse_copy(statement);
  } else if (accept(K::kExplain)) {
    if (accept(K::kUsing)) advance();
    parse_statement_into(statement);
  } else if (cur().kind == TokenKind::kWord && is_one_of(text(cur()), kQueryFreeStatements)) {
    skip_to_statement_end();
  } else {
    fail_expected("a statement");
  }
}

void Parser::skip_to_statement_end() {
  while (!at_end() && !at(Punct::kSemicolon)) advance();
}

SelectCore* Parser::new_root_core(Statement& statement) {
  SelectCore* core = arena_.new_core();
  statement.cores.push_back(core);
  return core;
}

void Parser::parse_insert(Statement& statement) {
  expect(K::kInsert);
  accept(K::kOverwrite);
  SelectCore* core = new_root_core(statement);
  if (accept(K::kAll) || accept(K::kFirst)) {
    parse_multi_table_insert(core);
  } else {
    if (!accept(K::kInto)) expect(K::kTable, "INTO");  // INSERT OVERWRITE TABLE t
    accept(K::kTable);
    parse_object_name();
    if (at(Punct::kLParen) && !is(peek(), K::kSelect) && !is(peek(), K::kWith)) {
      parse_column_list(nullptr);
    }
  }
  statement.queries.push_back(parse_query(kOutermost));
}

// INTO clauses, optionally under WHEN conditions; the query follows.
void Parser::parse_multi_table_insert(SelectCore* core) {
  for (;;) {
    ExprRefs refs;
    if (accept(K::kWhen)) {
      parse_expr(refs);
      expect(K::kThen);
    } else if (accept(K::kElse)) {
    } else if (accept(K::kInto)) {
      parse_object_name();
      if (at(Punct::kLParen)) parse_column_list(nullptr);
      if (accept(K::kValues)) parse_expr_list_in_parens(refs);
    } else {
      break;
    }
    move_subqueries(refs, core->subqueries);
  }
}

// CREATE ... AS <query>: the definition before AS (columns, options) holds no query.
void Parser::parse_create(Statement& statement) {
  expect(K::kCreate);
  int depth = 0;
  while (!at_end() && !(depth == 0 && at(Punct::kSemicolon))) {
    if (at(Punct::kLParen)) ++depth;
    if (at(Punct::kRParen)) --depth;
    if (depth == 0 && at_as_of_create_body()) {
      advance();
      parse_statement_into(statement);
      return;
    }
    advance();
  }
}

// The AS before the query or DML statement that fills what CREATE makes.
bool Parser::at_as_of_create_body() const {
  if (!at(K::kAs)) return false;
  const Token& next = peek();
  bool query = is(next, K::kSelect) || is(next, K::kWith) || is(next, Punct::kLParen);
  bool dml = is(next, K::kInsert) || is(next, K::kMerge) || is(next, K::kUpdate) ||
             is(next, K::kDelete) || is(next, K::kCopy);
  return query || dml;
}

void Parser::parse_merge(Statement& statement) {
  expect(K::kMerge);
  expect(K::kInto);
  parse_object_name();
  parse_alias_only();
  expect(K::kUsing);
  SelectCore* core = new_root_core(statement);
  // The source is no JOIN partner of the target: it is the only item of its own FROM.
  core->from.push_back(FromTerm{parse_from_primary(), {}});
  expect(K::kOn);
  ExprRefs refs;
  parse_expr(refs);
  while (accept(K::kWhen)) {
    accept(K::kNot);
    expect(K::kMatched);
    if (accept(K::kBy)) advance();  // SOURCE or TARGET
    if (accept(K::kAnd)) parse_expr(refs);
    expect(K::kThen);
    parse_merge_action(refs);
  }
  move_subqueries(refs, core->subqueries);
}

void Parser::parse_merge_action(ExprRefs& refs) {
  if (accept(K::kUpdate)) {
    expect(K::kSet);
    parse_assignments(refs);
  } else if (accept(K::kDelete)) {
  } else if (accept(K::kInsert)) {
    if (at(Punct::kLParen)) parse_column_list(nullptr);
    if (accept(K::kValues)) parse_expr_list_in_parens(refs);
  } else {
    fail_expected("UPDATE, DELETE or INSERT");
  }
}

void Parser::parse_update(Statement& statement) {
  expect(K::kUpdate);
  parse_object_name();
  parse_alias_only();
  SelectCore* core = new_root_core(statement);
  bool from_read = accept(K::kFrom);  // the FROM may also come before SET
  if (from_read) parse_from_list(core->from);
  expect(K::kSet);
  ExprRefs refs;
  parse_assignments(refs);
  if (!from_read && accept(K::kFrom)) parse_from_list(core->from);
  if (accept(K::kWhere)) parse_expr(refs);
  move_subqueries(refs, core->subqueries);
}

void Parser::parse_delete(Statement& statement) {
  expect(K::kDelete);
  expect(K::kFrom);
  parse_object_name();
  parse_alias_only();
  SelectCore* core = new_root_core(statement);
  if (accept(K::kUsing)) parse_from_list(core->from);
  ExprRefs refs;
  if (accept(K::kWhere)) parse_expr(refs);
  move_subqueries(refs, core->subqueries);
}

void Parser::parse_copy(Statement& statement) {
  expect(K::kCopy);
  expect(K::kInto);
  if (cur().kind == TokenKind::kStage) {
    advance();
  } else {
    parse_object_name();
    if (at(Punct::kLParen)) parse_column_list(nullptr);
  }
  expect(K::kFrom);
  if (accept(Punct::kLParen)) {
    statement.queries.push_back(parse_query(kOutermost));
    expect(Punct::kRParen, "')'");
  }
  // The rest is the source location and load options.
  TreeVector<Query*> ignored;
  while (!at_end() && !at(Punct::kSemicolon)) {
    if (at(Punct::kLParen)) {
      skip_parenthesised(ignored);
    } else {
      advance();
    }
  }
}

void Parser::parse_assignments(ExprRefs& refs) {
  do {
    parse_object_name();
    if (!at_operator("=")) fail_expected("'='");
    advance();
    parse_expr(refs);
  } while (accept(Punct::kComma));
}

void Parser::parse_alias_only() {
  if (accept(K::kAs)) {
    expect_identifier("an alias");
  } else if (at_implicit_alias()) {
    advance();
  }
}

}  // namespace orvane::sql_parsing::internal
