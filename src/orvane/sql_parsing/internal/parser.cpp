#include "orvane/sql_parsing/internal/parser.hpp"

#include <string>

#include "orvane/sql_parsing/internal/syntax_error.hpp"
#include "orvane/sql_parsing/sql_lineage.hpp"
#include "platform/text/lower_case.hpp"

namespace orvane::sql_parsing::internal {
namespace {

using K = Keyword;

// Compares every word with a keyword or function name; inline, so that the size test that
// settles most comparisons costs no call.
inline bool equals_ignore_case(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 32);
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 32);
    if (x != y) return false;
  }
  return true;
}

// Keywords that never stand alone as a column, function-free operand or implicit alias.
bool is_clause_keyword(K k) {
  switch (k) {
    case K::kSelect:
    case K::kFrom:
    case K::kWhere:
    case K::kGroup:
    case K::kHaving:
    case K::kQualify:
    case K::kOrder:
    case K::kLimit:
    case K::kOffset:
    case K::kFetch:
    case K::kUnion:
    case K::kExcept:
    case K::kMinus:
    case K::kIntersect:
    case K::kJoin:
    case K::kInner:
    case K::kLeft:
    case K::kRight:
    case K::kFull:
    case K::kCross:
    case K::kNatural:
    case K::kAsof:
    case K::kOn:
    case K::kUsing:
    case K::kLateral:
    case K::kWhen:
    case K::kThen:
    case K::kElse:
    case K::kEnd:
    case K::kAnd:
    case K::kOr:
    case K::kAs:
    case K::kSet:
    case K::kInto:
    case K::kWith:
    case K::kIn:
    case K::kIs:
    case K::kLike:
    case K::kIlike:
    case K::kRlike:
    case K::kRegexp:
    case K::kBetween:
    case K::kEscape:
    case K::kOver:
    case K::kWindow:
    case K::kPivot:
    case K::kUnpivot:
    case K::kMatchCondition:
    case K::kMatchRecognize:
    case K::kValues:
      return true;
    default:
      return false;
  }
}

// Clause keywords that Snowflake does not reserve: they also name tables, columns and aliases
// wherever the clause cannot start.
bool is_unreserved_keyword(K k) {
  return k == K::kWindow || k == K::kPivot || k == K::kUnpivot || k == K::kMatchCondition;
}

// Words after a table or select expression that are not an alias.
bool blocks_implicit_alias(K k) {
  if (is_clause_keyword(k)) return true;
  switch (k) {
    case K::kSample:
    case K::kTablesample:
    case K::kAt:
    case K::kBefore:
    case K::kChanges:
    case K::kDirected:
    case K::kNot:
    case K::kNull:
    case K::kTrue:
    case K::kFalse:
    case K::kDistinct:
    case K::kAll:
    case K::kAny:
    case K::kTop:
    case K::kCase:
    case K::kInterval:
    case K::kExclude:
    case K::kRename:
    case K::kReplace:
    case K::kAsc:
    case K::kDesc:
    case K::kNulls:
    case K::kWithin:
    case K::kPrior:
    case K::kOuter:
    case K::kRecursive:
    case K::kTable:
    case K::kCreate:
    case K::kInsert:
    case K::kUpdate:
    case K::kDelete:
    case K::kMerge:
    case K::kCopy:
    case K::kExplain:
    case K::kConnect:
    case K::kStart:
      return true;
    default:
      return false;
  }
}

// Functions whose first argument is a date or time part (`DATEADD(day, 1, d)`), not a column.
bool takes_date_part_first(std::string_view name) {
  static constexpr std::string_view kNames[] = {"DATEADD",    "DATEDIFF",     "TIMEADD",
                                                "TIMEDIFF",   "TIMESTAMPADD", "TIMESTAMPDIFF",
                                                "DATE_TRUNC", "DATE_PART",    "EXTRACT"};
  for (std::string_view candidate : kNames) {
    if (equals_ignore_case(name, candidate)) return true;
  }
  return false;
}

// Functions called without parentheses, which would otherwise read as columns.
bool is_niladic_function(std::string_view name) {
  static constexpr std::string_view kNames[] = {
      "CURRENT_DATE",      "CURRENT_TIME",     "CURRENT_TIMESTAMP", "CURRENT_USER",
      "CURRENT_ROLE",      "LOCALTIME",        "LOCALTIMESTAMP",    "SYSDATE",
      "CURRENT_WAREHOUSE", "CURRENT_DATABASE", "CURRENT_SCHEMA"};
  for (std::string_view candidate : kNames) {
    if (equals_ignore_case(name, candidate)) return true;
  }
  return false;
}

bool is_typed_literal_prefix(std::string_view word) {
  static constexpr std::string_view kNames[] = {"DATE",          "TIME",          "TIMESTAMP",
                                                "TIMESTAMP_LTZ", "TIMESTAMP_NTZ", "TIMESTAMP_TZ"};
  for (std::string_view candidate : kNames) {
    if (equals_ignore_case(word, candidate)) return true;
  }
  return false;
}

// Statements that hold no query; they parse to nothing.
bool is_query_free_statement(std::string_view word) {
  static constexpr std::string_view kNames[] = {
      "SHOW",    "DESCRIBE", "DESC",   "USE",      "ALTER", "GRANT",  "REVOKE", "DROP",
      "UNDROP",  "TRUNCATE", "COMMIT", "ROLLBACK", "BEGIN", "START",  "CALL",   "SET",
      "UNSET",   "PUT",      "GET",    "LIST",     "LS",    "REMOVE", "RM",     "COMMENT",
      "EXECUTE", "ABORT",    "KILL",   "DECLARE",  "RETURN"};
  for (std::string_view candidate : kNames) {
    if (equals_ignore_case(word, candidate)) return true;
  }
  return false;
}

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

class Parser {
 public:
  Parser(std::string_view sql, const std::vector<Token>& tokens, SyntaxArena& arena)
      : sql_(sql), tokens_(tokens), arena_(arena) {}

  TreeVector<Statement> parse_all() {
    TreeVector<Statement> statements;
    while (!at_end()) {
      if (accept(Punct::kSemicolon)) continue;
      statements.push_back(parse_statement());
      if (!at_end() && !at(Punct::kSemicolon)) fail_expected("end of statement");
    }
    return statements;
  }

 private:
  // ---- token access ----------------------------------------------------------------------
  const Token& cur() const { return tokens_[pos_]; }
  const Token& peek(std::size_t ahead = 1) const {
    std::size_t index = pos_ + ahead;
    return index < tokens_.size() ? tokens_[index] : tokens_.back();
  }
  bool at_end() const { return cur().kind == TokenKind::kEnd; }
  bool at(K keyword) const { return cur().kind == TokenKind::kWord && cur().keyword == keyword; }
  bool at(Punct punct) const { return cur().kind == TokenKind::kPunct && cur().punct == punct; }
  static bool is(const Token& token, K keyword) {
    return token.kind == TokenKind::kWord && token.keyword == keyword;
  }
  static bool is(const Token& token, Punct punct) {
    return token.kind == TokenKind::kPunct && token.punct == punct;
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
  void expect(K keyword, const char* what) {
    if (!accept(keyword)) fail_expected(what);
  }
  void expect(Punct punct, const char* what) {
    if (!accept(punct)) fail_expected(what);
  }
  std::uint32_t previous_end() const { return pos_ == 0 ? 0 : tokens_[pos_ - 1].end; }

  [[noreturn]] void fail_expected(const std::string& what) const {
    std::string found;
    if (at_end()) {
      found = "end of text";
    } else {
      std::string_view shown = text(cur()).substr(0, 40);
      found = "'" + std::string(shown) + "'";
    }
    throw_syntax_error(sql_, cur().begin, "unexpected " + found + "; expected " + what);
  }

  // Bounds the recursion: every construct that can nest holds one of these.
  class DepthGuard {
   public:
    explicit DepthGuard(Parser& parser) : parser_(parser) {
      if (++parser_.depth_ > kMaxSqlNestingDepth) {
        throw_syntax_error(
            parser_.sql_, parser_.cur().begin,
            "nesting deeper than " + std::to_string(kMaxSqlNestingDepth) + " levels");
      }
    }
    ~DepthGuard() { --parser_.depth_; }
    DepthGuard(const DepthGuard&) = delete;
    DepthGuard& operator=(const DepthGuard&) = delete;

   private:
    Parser& parser_;
  };

  bool at_identifier() const {
    return cur().kind == TokenKind::kQuotedIdent || cur().kind == TokenKind::kWord;
  }
  bool at_implicit_alias() const {
    if (cur().kind == TokenKind::kQuotedIdent) return true;
    return cur().kind == TokenKind::kWord && !blocks_implicit_alias(cur().keyword);
  }
  // After a select expression no clause of these keywords can start, so they are aliases there.
  bool at_select_item_alias() const {
    return at_implicit_alias() ||
           (cur().kind == TokenKind::kWord && is_unreserved_keyword(cur().keyword));
  }
  // After a table they are an alias unless their clause follows: `(` for PIVOT, UNPIVOT and
  // MATCH_CONDITION, INCLUDE/EXCLUDE NULLS, or the window name of `WINDOW w AS (...)`.
  bool at_table_alias() const {
    if (at_implicit_alias()) return true;
    if (cur().kind != TokenKind::kWord || !is_unreserved_keyword(cur().keyword)) return false;
    const Token& next = peek();
    if (is(next, Punct::kLParen) || is(next, K::kExclude) || next.kind == TokenKind::kQuotedIdent) {
      return false;
    }
    return !(next.kind == TokenKind::kWord && next.keyword == K::kNone);
  }
  void expect_word(std::string_view word) {
    if (!accept_word(word)) fail_expected(std::string(word));
  }
  std::string expect_identifier(const char* what) {
    if (!at_identifier()) fail_expected(what);
    std::string name = identifier_name(sql_, cur());
    advance();
    return name;
  }
  bool at_query_start() const { return at(K::kSelect) || at(K::kWith); }

  // ---- statements ------------------------------------------------------------------------
  Statement parse_statement() {
    Statement statement;
    parse_statement_into(statement);
    return statement;
  }

  void parse_statement_into(Statement& statement) {
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
    } else if (cur().kind == TokenKind::kWord && is_query_free_statement(text(cur()))) {
      skip_to_statement_end();
    } else {
      fail_expected("a statement");
    }
  }

  void skip_to_statement_end() {
    while (!at_end() && !at(Punct::kSemicolon)) advance();
  }

  // Skips a balanced parenthesised run, keeping any subquery found inside.
  void skip_parenthesised(TreeVector<Query*>& subqueries) {
    DepthGuard guard(*this);
    expect(Punct::kLParen, "'('");
    while (!accept(Punct::kRParen)) {
      if (at_end()) fail_expected("')'");
      if (at(Punct::kLParen)) {
        if (peek().kind == TokenKind::kWord &&
            (peek().keyword == K::kSelect || peek().keyword == K::kWith)) {
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

  SelectCore* new_root_core(Statement& statement) {
    SelectCore* core = arena_.new_core();
    statement.cores.push_back(core);
    return core;
  }

  void parse_column_list(NameParts* names) {
    expect(Punct::kLParen, "'('");
    do {
      std::string name = expect_identifier("a column name");
      if (names) names->push_back(std::move(name));
    } while (accept(Punct::kComma));
    expect(Punct::kRParen, "')'");
  }

  void parse_insert(Statement& statement) {
    expect(K::kInsert, "INSERT");
    accept(K::kOverwrite);
    SelectCore* core = new_root_core(statement);
    if (accept(K::kAll) || accept(K::kFirst)) {
      // Multi-table insert: INTO clauses, optionally under WHEN conditions, then the query.
      for (;;) {
        ExprRefs refs;
        if (accept(K::kWhen)) {
          parse_expr(refs);
          expect(K::kThen, "THEN");
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

  // CREATE ... AS <query>: the definition before AS (columns, options) holds no query.
  void parse_create(Statement& statement) {
    expect(K::kCreate, "CREATE");
    int depth = 0;
    while (!at_end() && !(depth == 0 && at(Punct::kSemicolon))) {
      if (at(Punct::kLParen)) ++depth;
      if (at(Punct::kRParen)) --depth;
      if (depth == 0 && at(K::kAs)) {
        const Token& next = peek();
        bool query = is(next, K::kSelect) || is(next, K::kWith) || is(next, Punct::kLParen);
        bool dml = is(next, K::kInsert) || is(next, K::kMerge) || is(next, K::kUpdate) ||
                   is(next, K::kDelete) || is(next, K::kCopy);
        if (query || dml) {
          advance();
          parse_statement_into(statement);
          return;
        }
      }
      advance();
    }
  }

  void parse_merge(Statement& statement) {
    expect(K::kMerge, "MERGE");
    expect(K::kInto, "INTO");
    parse_object_name();
    parse_alias_only();
    expect(K::kUsing, "USING");
    SelectCore* core = new_root_core(statement);
    // The source is no JOIN partner of the target: it is the only item of its own FROM.
    core->from.push_back(FromTerm{parse_from_primary(), {}});
    expect(K::kOn, "ON");
    ExprRefs refs;
    parse_expr(refs);
    while (accept(K::kWhen)) {
      accept(K::kNot);
      expect(K::kMatched, "MATCHED");
      if (accept(K::kBy)) advance();  // SOURCE or TARGET
      if (accept(K::kAnd)) parse_expr(refs);
      expect(K::kThen, "THEN");
      if (accept(K::kUpdate)) {
        expect(K::kSet, "SET");
        parse_assignments(refs);
      } else if (accept(K::kDelete)) {
      } else if (accept(K::kInsert)) {
        if (at(Punct::kLParen)) parse_column_list(nullptr);
        if (accept(K::kValues)) parse_expr_list_in_parens(refs);
      } else {
        fail_expected("UPDATE, DELETE or INSERT");
      }
    }
    move_subqueries(refs, core->subqueries);
  }

  void parse_update(Statement& statement) {
    expect(K::kUpdate, "UPDATE");
    parse_object_name();
    parse_alias_only();
    SelectCore* core = new_root_core(statement);
    bool from_read = accept(K::kFrom);  // the FROM may also come before SET
    if (from_read) parse_from_list(core->from);
    expect(K::kSet, "SET");
    ExprRefs refs;
    parse_assignments(refs);
    if (!from_read && accept(K::kFrom)) parse_from_list(core->from);
    if (accept(K::kWhere)) parse_expr(refs);
    move_subqueries(refs, core->subqueries);
  }

  void parse_delete(Statement& statement) {
    expect(K::kDelete, "DELETE");
    expect(K::kFrom, "FROM");
    parse_object_name();
    parse_alias_only();
    SelectCore* core = new_root_core(statement);
    if (accept(K::kUsing)) parse_from_list(core->from);
    ExprRefs refs;
    if (accept(K::kWhere)) parse_expr(refs);
    move_subqueries(refs, core->subqueries);
  }

  void parse_copy(Statement& statement) {
    expect(K::kCopy, "COPY");
    expect(K::kInto, "INTO");
    if (cur().kind == TokenKind::kStage) {
      advance();
    } else {
      parse_object_name();
      if (at(Punct::kLParen)) parse_column_list(nullptr);
    }
    expect(K::kFrom, "FROM");
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

  void parse_assignments(ExprRefs& refs) {
    do {
      parse_object_name();
      if (!at_operator("=")) fail_expected("'='");
      advance();
      parse_expr(refs);
    } while (accept(Punct::kComma));
  }

  void parse_alias_only() {
    if (accept(K::kAs)) {
      expect_identifier("an alias");
    } else if (at_implicit_alias()) {
      advance();
    }
  }

  static void move_subqueries(ExprRefs& refs, TreeVector<Query*>& into) {
    into.insert(into.end(), refs.subqueries.begin(), refs.subqueries.end());
    refs.subqueries.clear();
  }

  // ---- queries ---------------------------------------------------------------------------
  // The outermost query of a statement: nothing reads its columns, so its select lists are
  // parsed without keeping what they name.
  static constexpr bool kOutermost = true;

  Query* parse_query(bool outermost = false) {
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

  Cte* parse_cte(bool recursive) {
    Cte* cte = arena_.new_cte();
    cte->recursive = recursive;
    cte->name = expect_identifier("a CTE name");
    bool query_follows = at(Punct::kLParen) && (is(peek(), K::kSelect) || is(peek(), K::kWith));
    if (!query_follows) {  // `t (SELECT ...)` may leave out the AS
      if (at(Punct::kLParen)) parse_column_list(&cte->columns);
      expect(K::kAs, "AS");
    }
    expect(Punct::kLParen, "'('");
    cte->query = parse_query();
    expect(Punct::kRParen, "')'");
    return cte;
  }

  bool at_set_operator() const {
    return at(K::kUnion) || at(K::kExcept) || at(K::kMinus) || at(K::kIntersect);
  }

  void parse_set_operations(Query* query, QueryBranch first, bool outermost = false) {
    query->branches.push_back(first);
    while (at_set_operator()) {
      advance();
      if (!accept(K::kAll)) accept(K::kDistinct);
      if (at(K::kBy) && peek().kind == TokenKind::kWord &&
          equals_ignore_case(text(peek()), "NAME")) {
        pos_ += 2;
      }
      query->branches.push_back(parse_branch(outermost));
    }
    parse_query_tail(query);
  }

  QueryBranch parse_branch(bool outermost) {
    if (at(K::kSelect)) return QueryBranch{parse_select_core(!outermost), nullptr};
    if (at(K::kValues)) {
      advance();
      SelectCore* core = arena_.new_core();  // no items: its columns trace nowhere
      ExprRefs refs;
      do {
        parse_expr_list_in_parens(refs);
      } while (accept(Punct::kComma));
      move_subqueries(refs, core->subqueries);
      return QueryBranch{core, nullptr};
    }
    if (accept(Punct::kLParen)) {
      Query* inner = parse_query(outermost);
      expect(Punct::kRParen, "')'");
      return QueryBranch{nullptr, inner};
    }
    fail_expected("SELECT");
  }

  // ORDER BY, LIMIT, OFFSET and FETCH of a whole query.
  void parse_query_tail(Query* query) {
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

  void parse_order_items(ExprRefs& refs) {
    do {
      parse_expr(refs);
      if (!accept(K::kAsc)) accept(K::kDesc);
      if (accept(K::kNulls) && !accept(K::kFirst)) expect(K::kLast, "FIRST or LAST");
    } while (accept(Punct::kComma));
  }

  SelectCore* parse_select_core(bool keep_item_columns) {
    expect(K::kSelect, "SELECT");
    SelectCore* core = arena_.new_core();
    core->items.reserve(4);
    ExprRefs clause_refs;
    if (!accept(K::kDistinct)) accept(K::kAll);
    if (accept(K::kTop)) parse_operand(clause_refs);
    do {
      parse_select_item(core, keep_item_columns);
    } while (accept(Punct::kComma));
    if (accept(K::kFrom)) parse_from_list(core->from);
    for (;;) {
      if (accept(K::kWhere) || accept(K::kHaving) || accept(K::kQualify)) {
        parse_expr(clause_refs);
      } else if (at(K::kGroup) && is(peek(), K::kBy)) {
        pos_ += 2;
        parse_group_by(clause_refs);
      } else if (at(K::kStart) && is(peek(), K::kWith)) {
        pos_ += 2;
        parse_expr(clause_refs);
      } else if (at(K::kConnect) && is(peek(), K::kBy)) {
        pos_ += 2;
        accept_word("NOCYCLE");
        parse_expr(clause_refs);
      } else if (at(K::kWindow) && is(peek(2), K::kAs)) {
        advance();
        do {  // WINDOW w AS (PARTITION BY ...), w2 AS (w ORDER BY ...)
          expect_identifier("a window name");
          expect(K::kAs, "AS");
          parse_call_arguments({}, clause_refs);
        } while (accept(Punct::kComma));
      } else {
        break;
      }
    }
    move_subqueries(clause_refs, core->subqueries);
    return core;
  }

  void parse_group_by(ExprRefs& refs) {
    if (accept(K::kAll)) return;
    do {
      if (at_word("GROUPING") && peek().kind == TokenKind::kWord &&
          equals_ignore_case(text(peek()), "SETS")) {
        pos_ += 2;
      }
      parse_expr(refs);
    } while (accept(Punct::kComma));
  }

  // `ident.ident.*`: the qualifier of a qualified star, when one starts here.
  bool at_qualified_star(std::size_t* length) const {
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

  void parse_select_item(SelectCore* core, bool keep_columns) {
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
    if (item.star) {
      parse_star_modifiers(core->subqueries);
      core->items.push_back(std::move(item));
      return;
    }
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

  std::string parse_alias_name() {
    if (cur().kind == TokenKind::kString) {
      std::string name = string_value(sql_, cur());
      advance();
      return name;
    }
    return expect_identifier("an alias");
  }

  // * EXCLUDE (...) RENAME (...) REPLACE (...) ILIKE '...'
  void parse_star_modifiers(TreeVector<Query*>& subqueries) {
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

  // ---- FROM ------------------------------------------------------------------------------
  void parse_from_list(TreeVector<FromTerm>& from) {
    do {
      FromTerm term;
      term.first = parse_from_primary();
      parse_join_steps(term);
      from.push_back(std::move(term));
    } while (accept(Punct::kComma));
  }

  // Reads a join operator (NATURAL, INNER/LEFT/RIGHT/FULL [OUTER], CROSS, ASOF, DIRECTED, JOIN)
  // when one starts here.
  bool parse_join_operator(std::string* join_type) {
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

  void parse_join_steps(FromTerm& term) {
    for (;;) {
      JoinStep step;
      step.condition.keep_columns = true;
      step.position = cur().begin;
      if (!parse_join_operator(&step.join_type)) return;
      step.right = parse_from_primary();
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
      if (term.joins.empty()) term.joins.reserve(4);
      term.joins.push_back(std::move(step));
    }
  }

  NameParts parse_object_name() {
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

  FromItem* parse_from_primary() {
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
      ExprRefs refs;
      do {
        parse_expr_list_in_parens(refs);
      } while (accept(Punct::kComma));
      move_subqueries(refs, item->subqueries);
    } else if (at_word("IDENTIFIER") && is(peek(), Punct::kLParen)) {
      pos_ += 2;
      if (cur().kind == TokenKind::kString) {
        item = arena_.new_from_item(FromKind::kTable);
        item->name = split_identifier_text(string_value(sql_, cur()));
        advance();
      } else {
        item = arena_.new_from_item(FromKind::kFunction);  // a variable: table unknown here
        ExprRefs refs;
        parse_expr(refs);
      }
      expect(Punct::kRParen, "')'");
      if (at(Punct::kLParen)) {  // IDENTIFIER('f')(...): a table function named by text
        item = arena_.new_from_item(FromKind::kFunction);
        ExprRefs refs;
        parse_call_arguments({}, refs);
        move_subqueries(refs, item->subqueries);
      }
    } else if (at_identifier() &&
               (cur().kind == TokenKind::kQuotedIdent || !is_clause_keyword(cur().keyword) ||
                is_unreserved_keyword(cur().keyword) || is(peek(), Punct::kLParen))) {
      NameParts name = parse_object_name();
      if (accept_model_method() || at(Punct::kLParen)) {
        // A table function: FLATTEN(...), TABLE(...), GENERATOR(...), SPLIT_TO_TABLE(...),
        // model!FORECAST(...), ...
        item = arena_.new_from_item(FromKind::kFunction);
        item->name = std::move(name);
        ExprRefs refs;
        parse_call_arguments(text(tokens_[pos_ - 1]), refs);
        move_subqueries(refs, item->subqueries);
      } else {
        item = arena_.new_from_item(FromKind::kTable);
        item->name = std::move(name);
      }
    } else {
      fail_expected("a table");
    }
    parse_from_suffixes(item);
    return item;
  }

  // After '(' in FROM: a subquery, a parenthesised join, or a subquery that continues with a
  // set operation: ((SELECT ...) UNION (SELECT ...)).
  FromItem* parse_parenthesised_from() {
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
  FromItem* parse_join_group(FromItem* first) {
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
  void parse_from_suffixes(FromItem* item) {
    for (;;) {
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
        if (accept_word("INCLUDE") || accept(K::kExclude)) expect(K::kNulls, "NULLS");
        skip_parenthesised(item->subqueries);
        item->pivoted = true;
      } else if (accept(K::kMatchRecognize)) {
        skip_parenthesised(item->subqueries);
        item->pivoted = true;
      } else if (at(K::kWith) && is_word(peek(), "ORDINALITY")) {  // UNNEST(x) WITH ORDINALITY
        pos_ += 2;
      } else if (accept(K::kAs)) {
        item->alias = expect_identifier("an alias");
        parse_column_aliases(item);
      } else if (at_table_alias()) {
        item->alias = identifier_name(sql_, cur());
        advance();
        parse_column_aliases(item);
      } else {
        return;
      }
    }
  }

  void parse_column_aliases(FromItem* item) {
    if (!at(Punct::kLParen)) return;
    item->column_aliases.clear();
    parse_column_list(&item->column_aliases);
  }

  // ---- expressions -----------------------------------------------------------------------
  void parse_expr(ExprRefs& refs) {
    DepthGuard guard(*this);
    do {
      parse_operand(refs);
    } while (parse_binary_operator());
  }

  void parse_expr_list_in_parens(ExprRefs& refs) {
    expect(Punct::kLParen, "'('");
    if (accept(Punct::kRParen)) return;
    do {
      parse_expr(refs);
    } while (accept(Punct::kComma));
    expect(Punct::kRParen, "')'");
  }

  // Consumes an infix operator, after which an operand follows.
  bool parse_binary_operator() {
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
    switch (token.keyword) {
      case K::kAnd:
      case K::kOr:
      case K::kLike:
      case K::kIlike:
      case K::kRlike:
      case K::kRegexp:
      case K::kIn:
      case K::kBetween:
      case K::kEscape:
        advance();
        return true;
      case K::kNot: {
        K next = peek().kind == TokenKind::kWord ? peek().keyword : K::kNone;
        if (next == K::kIn || next == K::kLike || next == K::kIlike || next == K::kRlike ||
            next == K::kRegexp || next == K::kBetween) {
          pos_ += 2;
          return true;
        }
        return false;
      }
      case K::kIs:
        advance();
        accept(K::kNot);
        if (accept(K::kDistinct)) expect(K::kFrom, "FROM");
        return true;
      default:
        if (at_word("COLLATE")) {
          advance();
          return true;
        }
        return false;
    }
  }

  // CONNECT_BY_ROOT col; alone it is a column of that name.
  bool at_connect_by_root() const {
    if (!at_word("CONNECT_BY_ROOT")) return false;
    const Token& next = peek();
    return next.kind == TokenKind::kQuotedIdent ||
           (next.kind == TokenKind::kWord && !is_clause_keyword(next.keyword));
  }

  void parse_operand(ExprRefs& refs) {
    for (;;) {  // prefix operators
      if (at(K::kNot) || at(K::kPrior) || at_operator("-") || at_operator("+") ||
          at_operator("~") || at_connect_by_root()) {
        advance();
      } else {
        break;
      }
    }
    parse_primary(refs);
    parse_postfix(refs);
  }

  void parse_primary(ExprRefs& refs) {
    const Token& token = cur();
    switch (token.kind) {
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
      case TokenKind::kQuotedIdent:
        break;
    }
    if (token.kind == TokenKind::kWord) {
      switch (token.keyword) {
        case K::kNull:
        case K::kTrue:
        case K::kFalse:
          advance();
          return;
        case K::kSelect:
        case K::kWith:
          refs.subqueries.push_back(parse_query());
          return;
        case K::kCase:
          return parse_case(refs);
        case K::kInterval:
          advance();
          return parse_operand(refs);
        default:
          break;
      }
      if (is(peek(), Punct::kLParen) && !is(token, K::kIn) && !outer_join_marker_at(1)) {
        std::string_view name = text(token);
        advance();
        parse_call_arguments(name, refs);
        // IDENTIFIER('f')(...) calls the function the text names.
        if (at(Punct::kLParen) && equals_ignore_case(name, "IDENTIFIER")) {
          parse_call_arguments({}, refs);
        }
        parse_call_suffixes(name, refs);
        return;
      }
      if (peek().kind == TokenKind::kString && is_typed_literal_prefix(text(token))) {
        pos_ += 2;
        return;
      }
      if (is_clause_keyword(token.keyword) && !is_unreserved_keyword(token.keyword)) {
        fail_expected("an expression");
      }
    }
    parse_column_or_call(refs);
  }

  void parse_punct_primary(ExprRefs& refs) {
    switch (cur().punct) {
      case Punct::kLParen: {
        advance();
        if (at_query_start()) {
          refs.subqueries.push_back(parse_query());
        } else {
          do {
            parse_expr(refs);
          } while (accept(Punct::kComma));
        }
        expect(Punct::kRParen, "')'");
        return;
      }
      case Punct::kLBracket: {
        advance();
        if (!accept(Punct::kRBracket)) {
          do {
            parse_expr(refs);
          } while (accept(Punct::kComma));
          expect(Punct::kRBracket, "']'");
        }
        return;
      }
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
  void parse_braced(ExprRefs& refs) {
    expect(Punct::kLBrace, "'{'");
    if (at_word("FN")) {
      advance();
      parse_expr(refs);
    } else if ((at_word("D") || at_word("T") || at_word("TS")) &&
               peek().kind == TokenKind::kString) {
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
  void parse_column_or_call(ExprRefs& refs) {
    if (!refs.keep_columns) return skip_column_or_call(refs);
    ColumnRef ref;
    ref.column = identifier_name(sql_, cur());
    bool niladic = cur().kind == TokenKind::kWord && is_niladic_function(text(cur()));
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
    if ((at(Punct::kLParen) && !accept_outer_join_marker()) || accept_model_method()) {
      std::string_view last = text(tokens_[pos_ - 1]);
      parse_call_arguments(last, refs);
      parse_call_suffixes(last, refs);
      return;
    }
    if (niladic && ref.qualifier.empty()) return;
    if (refs.columns.empty()) refs.columns.reserve(4);
    refs.columns.push_back(std::move(ref));
  }

  // parse_column_or_call for expressions whose columns are not kept.
  void skip_column_or_call(ExprRefs& refs) {
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
    if ((at(Punct::kLParen) && !accept_outer_join_marker()) || accept_model_method()) {
      std::string_view last = text(tokens_[pos_ - 1]);
      parse_call_arguments(last, refs);
      parse_call_suffixes(last, refs);
    }
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

  void parse_case(ExprRefs& refs) {
    expect(K::kCase, "CASE");
    if (!at(K::kWhen)) parse_expr(refs);
    while (accept(K::kWhen)) {
      parse_expr(refs);
      expect(K::kThen, "THEN");
      parse_expr(refs);
    }
    if (accept(K::kElse)) parse_expr(refs);
    expect(K::kEnd, "END");
  }

  void parse_postfix(ExprRefs& refs) {
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

  void parse_type() {
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
  void parse_call_arguments(std::string_view function, ExprRefs& refs) {
    expect(Punct::kLParen, "'('");
    if (takes_date_part_first(function) &&
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

  bool skip_argument_keyword() {
    switch (cur().kind == TokenKind::kWord ? cur().keyword : K::kNone) {
      case K::kDistinct:
      case K::kAll:
      case K::kRows:
      case K::kRange:
      case K::kGroups:
      case K::kBetween:
      case K::kUnbounded:
      case K::kPreceding:
      case K::kFollowing:
      case K::kAnd:
      case K::kFrom:
      case K::kFor:
      case K::kIn:
      case K::kBoth:
      case K::kLeading:
      case K::kTrailing:
      case K::kSeparator:
      case K::kAsc:
      case K::kDesc:
        advance();
        return true;
      case K::kOrder:
      case K::kPartition:
        if (!is(peek(), K::kBy)) return false;
        pos_ += 2;
        return true;
      case K::kCurrent:
        if (!is(peek(), K::kRow)) return false;
        pos_ += 2;
        return true;
      case K::kNulls:
        if (!is(peek(), K::kFirst) && !is(peek(), K::kLast)) return false;
        pos_ += 2;
        return true;
      case K::kIgnore:
      case K::kRespect:
        if (!is(peek(), K::kNulls)) return false;
        pos_ += 2;
        return true;
      default:
        return false;
    }
  }

  // FROM FIRST/LAST (of NTH_VALUE), IGNORE NULLS, WITHIN GROUP (...), FILTER (WHERE ...),
  // OVER (...) or OVER name after a call.
  void parse_call_suffixes(std::string_view function, ExprRefs& refs) {
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

  std::string_view sql_;
  const std::vector<Token>& tokens_;
  SyntaxArena& arena_;
  std::size_t pos_ = 0;
  int depth_ = 0;
};

}  // namespace

TreeVector<Statement> parse_statements(std::string_view sql, const std::vector<Token>& tokens,
                                       SyntaxArena& arena) {
  return Parser(sql, tokens, arena).parse_all();
}

}  // namespace orvane::sql_parsing::internal
