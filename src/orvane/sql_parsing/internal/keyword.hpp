// The keywords the parser looks at, generated from keywords.inc: the Keyword enum, each
// keyword's spelling and the word classes of the grammar it belongs to.
//
//   Keyword k = keyword_of("select");             // Keyword::kSelect
//   keyword_spelling(k);                          // "SELECT"
//   has_flag(k, keyword_flag::kClause);            // true
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace orvane::sql_parsing::internal {

// Word classes of the grammar; a keyword may be in several.
namespace keyword_flag {
// Starts or continues a clause or condition: never a column, an operand or an implicit alias.
inline constexpr std::uint8_t kClause = 1 << 0;
// A clause keyword that Snowflake does not reserve: it also names tables, columns and aliases
// where its clause cannot start.
inline constexpr std::uint8_t kUnreserved = 1 << 1;
// Not a clause keyword, yet never an implicit alias after a table or select expression.
inline constexpr std::uint8_t kNotAlias = 1 << 2;
// UNION, EXCEPT, MINUS, INTERSECT.
inline constexpr std::uint8_t kSetOperator = 1 << 3;
// A binary operator between two operands.
inline constexpr std::uint8_t kInfix = 1 << 4;
// A binary operator that NOT may precede: a NOT IN b.
inline constexpr std::uint8_t kNegatableInfix = 1 << 5;
// May stand on its own between the arguments of a call: COUNT(DISTINCT x), TRIM(BOTH ...).
inline constexpr std::uint8_t kCallArgumentWord = 1 << 6;
}  // namespace keyword_flag

// Words the parser looks at. Anything else is kNone (an ordinary identifier).
enum class Keyword : std::uint8_t {
  kNone,
#define OSA_KEYWORD(name, spelling, flags) k##name,
#include "orvane/sql_parsing/internal/keywords.inc"
#undef OSA_KEYWORD
};

namespace keyword_detail {

struct KeywordInfo {
  std::string_view spelling;
  std::uint8_t flags = 0;
};

// In the order of the enum, so indexed by it.
inline constexpr auto kKeywordInfo = [] {
  using namespace keyword_flag;
  return std::to_array<KeywordInfo>({
      {"", 0},  // kNone
#define OSA_KEYWORD(name, spelling, flags) {spelling, flags},
#include "orvane/sql_parsing/internal/keywords.inc"
#undef OSA_KEYWORD
  });
}();

}  // namespace keyword_detail

// The number of Keyword values, kNone included.
inline constexpr std::size_t kKeywordCount = keyword_detail::kKeywordInfo.size();

// The keyword's upper-case spelling; empty for kNone.
constexpr std::string_view keyword_spelling(Keyword keyword) {
  return keyword_detail::kKeywordInfo[static_cast<std::size_t>(keyword)].spelling;
}

// Whether the keyword is in a word class of keyword_flag; never for kNone.
constexpr bool has_flag(Keyword keyword, std::uint8_t flag) {
  return (keyword_detail::kKeywordInfo[static_cast<std::size_t>(keyword)].flags & flag) != 0;
}

// The keyword a word token spells, ignoring case; kNone for any other word.
Keyword keyword_of(std::string_view word);

}  // namespace orvane::sql_parsing::internal
