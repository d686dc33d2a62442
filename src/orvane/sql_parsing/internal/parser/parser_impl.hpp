// The recursive-descent parser behind parse_statements (../parser.hpp): one class, its grammar
// in a file per area:
//   statements.cpp    statements: queries, INSERT, CREATE ... AS, MERGE, UPDATE, DELETE, COPY
//   queries.cpp       WITH, set operations, VALUES, SELECT and its clauses
//   from_clause.cpp   FROM items, joins and their suffixes (alias, time travel, PIVOT, ...)
//   expressions.cpp   operands, operators, columns and the subqueries inside expressions
//   calls.cpp         the arguments and suffixes of calls, and type names
//   parser_impl.cpp   pieces every area uses: errors, names, balanced parentheses
// Token access and the recursion bound are inline here: every area uses them on every token.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "orvane/sql_parsing/internal/parser/known_words.hpp"
#include "orvane/sql_parsing/internal/syntax_tree.hpp"
#include "orvane/sql_parsing/internal/token.hpp"
#include "orvane/sql_parsing/sql_lineage.hpp"

namespace orvane::sql_parsing::internal {

class Parser {
 public:
  Parser(std::string_view sql, const std::vector<Token>& tokens, SyntaxArena& arena)
      : sql_(sql), tokens_(tokens), arena_(arena) {}

  TreeVector<Statement> parse_all();

 private:
  using K = Keyword;

  // ---- token access ----------------------------------------------------------------------
  const Token& cur() const { return tokens_[pos_]; }
  const Token& peek(std::size_t ahead = 1) const {
    std::size_t index = pos_ + ahead;
    return index < tokens_.size() ? tokens_[index] : tokens_.back();
  }
  bool at_end() const { return cur().kind == TokenKind::kEnd; }
  bool at(K keyword) const { return is(cur(), keyword); }
  bool at(Punct punct) const { return is(cur(), punct); }
  static bool is(const Token& token, K keyword) {
    return token.kind == TokenKind::kWord && token.keyword == keyword;
  }
  static bool is(const Token& token, Punct punct) {
    return token.kind == TokenKind::kPunct && token.punct == punct;
  }
  // The keyword of a word token, kNone for any other token.
  static K keyword_at(const Token& token) {
    return token.kind == TokenKind::kWord ? token.keyword : K::kNone;
  }
  std::string_view text(const Token& token) const {
    return sql_.substr(token.begin, token.end - token.begin);
  }
  bool is_word(const Token& token, std::string_view word) const {
    return token.kind == TokenKind::kWord && token.end - token.begin == word.size() &&
           equals_ignore_case(text(token), word);
  }
  bool at_word(std::string_view word) const { return is_word(cur(), word); }
  bool at_operator(std::string_view op) const { return at(Punct::kOperator) && text(cur()) == op; }
  bool at_identifier() const {
    return cur().kind == TokenKind::kQuotedIdent || cur().kind == TokenKind::kWord;
  }
  bool at_implicit_alias() const {
    if (cur().kind == TokenKind::kQuotedIdent) return true;
    return cur().kind == TokenKind::kWord &&
           !has_flag(cur().keyword, keyword_flag::kClause | keyword_flag::kNotAlias);
  }
  bool at_query_start() const { return at(K::kSelect) || at(K::kWith); }
  bool at_set_operator() const { return has_flag(keyword_at(cur()), keyword_flag::kSetOperator); }
  void advance() {
    if (!at_end()) ++pos_;
  }
  bool accept(K keyword) {
    if (!at(keyword)) return false;
    ++pos_;
    return true;
  }
  bool accept(Punct punct) {
    if (!at(punct)) return false;
    ++pos_;
    return true;
  }
  bool accept_word(std::string_view word) {
    if (!at_word(word)) return false;
    ++pos_;
    return true;
  }
  // Expects the keyword, which the error names by its spelling.
  void expect(K keyword) {
    if (!accept(keyword)) fail_expected(std::string(keyword_spelling(keyword)));
  }
  void expect(K keyword, const char* what) {
    if (!accept(keyword)) fail_expected(what);
  }
  void expect(Punct punct, const char* what) {
    if (!accept(punct)) fail_expected(what);
  }
  // The old outer-join marker after a column, `b.id(+)`, starting `ahead` tokens from here.
  bool outer_join_marker_at(std::size_t ahead) const {
    const Token& plus = peek(ahead + 1);
    return is(peek(ahead), Punct::kLParen) && is(plus, Punct::kOperator) && text(plus) == "+" &&
           is(peek(ahead + 2), Punct::kRParen);
  }

  // `model!PREDICT(`: a method of a model object, read up to its '('.
  bool accept_model_method() {
    if (!at_operator("!") || peek().kind != TokenKind::kWord || !is(peek(2), Punct::kLParen)) {
      return false;
    }
    pos_ += 2;
    return true;
  }

  bool accept_outer_join_marker() {
    if (!outer_join_marker_at(0)) return false;
    pos_ += 3;
    return true;
  }
  std::uint32_t previous_end() const { return pos_ == 0 ? 0 : tokens_[pos_ - 1].end; }

  // Bounds the recursion: every construct that can nest holds one of these.
  class DepthGuard {
   public:
    explicit DepthGuard(Parser& parser) : parser_(parser) {
      if (++parser_.depth_ > kMaxSqlNestingDepth) parser_.fail_too_deep();
    }
    ~DepthGuard() { --parser_.depth_; }
    DepthGuard(const DepthGuard&) = delete;
    DepthGuard& operator=(const DepthGuard&) = delete;

   private:
    Parser& parser_;
  };

  static void move_subqueries(ExprRefs& refs, TreeVector<Query*>& into) {
    into.insert(into.end(), refs.subqueries.begin(), refs.subqueries.end());
    refs.subqueries.clear();
  }

  // ---- parser_impl.cpp -------------------------------------------------------------------
  [[noreturn]] void fail_expected(const std::string& what) const;
  [[noreturn]] void fail_too_deep() const;
  void expect_word(std::string_view word);
  std::string expect_identifier(const char* what);
  NameParts parse_object_name();
  void parse_column_list(NameParts* names);
  void skip_parenthesised(TreeVector<Query*>& subqueries);

  // ---- statements.cpp --------------------------------------------------------------------
  Statement parse_statement();
  void parse_statement_into(Statement& statement);
  void skip_to_statement_end();
  SelectCore* new_root_core(Statement& statement);
  void parse_insert(Statement& statement);
  void parse_multi_table_insert(SelectCore* core);
  void parse_create(Statement& statement);
  bool at_as_of_create_body() const;
  void parse_merge(Statement& statement);
  void parse_merge_action(ExprRefs& refs);
  void parse_update(Statement& statement);
  void parse_delete(Statement& statement);
  void parse_copy(Statement& statement);
  void parse_assignments(ExprRefs& refs);
  void parse_alias_only();

  // ---- queries.cpp -----------------------------------------------------------------------
  // The outermost query of a statement: nothing reads its columns, so its select lists are
  // parsed without keeping what they name.
  static constexpr bool kOutermost = true;

  Query* parse_query(bool outermost = false);
  Cte* parse_cte(bool recursive);
  void parse_set_operations(Query* query, QueryBranch first, bool outermost = false);
  QueryBranch parse_branch(bool outermost);
  void parse_values_rows(TreeVector<Query*>& subqueries);
  void parse_query_tail(Query* query);
  void parse_order_items(ExprRefs& refs);
  SelectCore* parse_select_core(bool keep_item_columns);
  void parse_select_clauses(ExprRefs& refs);
  void parse_group_by(ExprRefs& refs);
  bool at_qualified_star(std::size_t* length) const;
  bool parse_star_item(SelectCore* core);
  void parse_select_item(SelectCore* core, bool keep_columns);
  bool at_select_item_alias() const;
  std::string parse_alias_name();
  void parse_star_modifiers(TreeVector<Query*>& subqueries);

  // ---- from_clause.cpp -------------------------------------------------------------------
  void parse_from_list(TreeVector<FromTerm>& from);
  bool parse_join_operator(std::string* join_type);
  void parse_join_steps(FromTerm& term);
  void parse_join_condition(JoinStep& step);
  FromItem* parse_from_primary();
  FromItem* parse_identifier_from();
  FromItem* parse_named_from();
  FromItem* parse_parenthesised_from();
  FromItem* parse_join_group(FromItem* first);
  void parse_from_suffixes(FromItem* item);
  bool parse_from_clause_suffix(FromItem* item);
  void parse_column_aliases(FromItem* item);
  bool at_table_alias() const;

  // ---- expressions.cpp -------------------------------------------------------------------
  void parse_expr(ExprRefs& refs);
  void parse_expr_list(ExprRefs& refs);
  void parse_expr_list_in_parens(ExprRefs& refs);
  bool parse_binary_operator();
  bool at_connect_by_root() const;
  void parse_operand(ExprRefs& refs);
  void parse_primary(ExprRefs& refs);
  bool parse_word_primary(ExprRefs& refs);
  void parse_punct_primary(ExprRefs& refs);
  void parse_braced(ExprRefs& refs);
  void parse_column_or_call(ExprRefs& refs);
  void skip_column_or_call(ExprRefs& refs);
  bool parse_call_after_name(ExprRefs& refs);
  void parse_case(ExprRefs& refs);
  void parse_postfix(ExprRefs& refs);

  // ---- calls.cpp -------------------------------------------------------------------------
  void parse_type();
  void parse_call_arguments(std::string_view function, ExprRefs& refs);
  bool skip_argument_keyword();
  void parse_call_suffixes(std::string_view function, ExprRefs& refs);

  std::string_view sql_;
  const std::vector<Token>& tokens_;
  SyntaxArena& arena_;
  std::size_t pos_ = 0;
  int depth_ = 0;
};

}  // namespace orvane::sql_parsing::internal
