#include "orvane/sql_parsing/sql_lineage.hpp"

#include <algorithm>
#include <exception>
#include <new>

#include "orvane/sql_parsing/internal/binder.hpp"
#include "orvane/sql_parsing/internal/column_tracer.hpp"
#include "orvane/sql_parsing/internal/dataset_urn.hpp"
#include "orvane/sql_parsing/internal/join_extractor.hpp"
#include "orvane/sql_parsing/internal/parser.hpp"
#include "orvane/sql_parsing/internal/syntax_error.hpp"
#include "orvane/sql_parsing/internal/tokenizer.hpp"

namespace orvane::sql_parsing {
namespace {

// Token storage reused by the calls of one thread, unless one text made it large.
constexpr std::size_t kKeptTokenCapacity = 1 << 16;

class TokenBuffer {
 public:
  TokenBuffer() : tokens_(buffer()) {}
  ~TokenBuffer() {
    if (tokens_.capacity() > kKeptTokenCapacity) std::vector<internal::Token>().swap(tokens_);
  }
  TokenBuffer(const TokenBuffer&) = delete;
  TokenBuffer& operator=(const TokenBuffer&) = delete;
  std::vector<internal::Token>& tokens() { return tokens_; }

 private:
  static std::vector<internal::Token>& buffer() {
    thread_local std::vector<internal::Token> tokens;
    return tokens;
  }
  std::vector<internal::Token>& tokens_;
};

}  // namespace

SqlParsingResult parse_sql_lineage(std::string_view sql, std::string_view platform,
                                   const std::optional<std::string>& platform_instance,
                                   const std::optional<std::string>& default_db,
                                   const std::optional<std::string>& default_schema) {
  using namespace internal;
  SqlParsingResult result;
  try {
    DatasetNaming naming =
        make_dataset_naming(platform, platform_instance, default_db, default_schema);
    TokenBuffer buffer;
    std::vector<Token>& tokens = buffer.tokens();
    tokenize(sql, tokens);
    SyntaxArena arena;
    TreeVector<Statement> statements = parse_statements(sql, tokens, arena);
    std::vector<std::pair<std::uint32_t, JoinInfo>> found;
    for (Statement& statement : statements) {
      BoundStatement bound = bind_statement(statement, naming);
      ColumnTracer tracer(bound.table_names);
      tracer.set_cte_order(bound.ctes_in_dependency_order);
      extract_joins(sql, bound.scopes, tracer, found);
    }
    // Scopes are visited outside in; the report follows the text. Each join has its own
    // position, and most texts come out in order already.
    auto by_position = [](const auto& a, const auto& b) { return a.first < b.first; };
    if (!std::is_sorted(found.begin(), found.end(), by_position)) {
      std::sort(found.begin(), found.end(), by_position);
    }
    std::vector<JoinInfo> joins;
    joins.reserve(found.size());
    for (auto& entry : found) joins.push_back(std::move(entry.second));
    result.joins = std::move(joins);
  } catch (const SqlSyntaxError& error) {
    result.error = error.what();
  } catch (const std::bad_alloc&) {
    result.error = "out of memory while parsing the SQL text";
  } catch (const std::exception& error) {  // a broken invariant must not fail the caller
    result.error = std::string("could not parse the SQL text: ") + error.what();
  }
  return result;
}

}  // namespace orvane::sql_parsing
