// Tokens of Snowflake SQL text, as the tokenizer hands them to the parser.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "orvane/sql_parsing/internal/keyword.hpp"

namespace orvane::sql_parsing::internal {

enum class TokenKind : std::uint8_t {
  kEnd,          // after the last token
  kWord,         // unquoted identifier or keyword
  kQuotedIdent,  // "..." with "" for a quote
  kString,       // '...', $$...$$, X'...'
  kNumber,
  kVariable,  // $1, $name
  kStage,     // @stage/path, @~, @%table
  kPunct,
};

enum class Punct : std::uint8_t {
  kNone,
  kLParen,
  kRParen,
  kComma,
  kSemicolon,
  kDot,
  kDoubleColon,
  kColon,
  kFatArrow,  // =>
  kLBracket,
  kRBracket,
  kLBrace,
  kRBrace,
  kStar,
  kQuestion,
  kOperator,  // any other operator: + - / % || = <> < >= -> ...
};

struct Token {
  TokenKind kind = TokenKind::kEnd;
  Punct punct = Punct::kNone;
  Keyword keyword = Keyword::kNone;
  std::uint32_t begin = 0;  // byte offsets into the SQL text
  std::uint32_t end = 0;
};

// An identifier token's name as the catalogue spells it: lower-cased by Unicode's simple case
// mapping, quotes removed.
std::string identifier_name(std::string_view sql, const Token& token);

// A string literal token's value ('...' with escapes undone, $$...$$ as is).
std::string string_value(std::string_view sql, const Token& token);

}  // namespace orvane::sql_parsing::internal
