// Tokens of Snowflake SQL text, as the tokenizer hands them to the parser.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

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

// Words the parser looks at. Anything else is kNone (an ordinary identifier).
enum class Keyword : std::uint8_t {
  kNone,
  kAll,
  kAnd,
  kAny,
  kAs,
  kAsc,
  kAsof,
  kAt,
  kBefore,
  kBetween,
  kBoth,
  kBy,
  kCase,
  kChanges,
  kConnect,
  kCopy,
  kCreate,
  kCross,
  kCurrent,
  kDelete,
  kDesc,
  kDirected,
  kDistinct,
  kElse,
  kEnd,
  kEscape,
  kExcept,
  kExclude,
  kExplain,
  kFalse,
  kFetch,
  kFirst,
  kFollowing,
  kFor,
  kFrom,
  kFull,
  kGroup,
  kGroups,
  kHaving,
  kIgnore,
  kIlike,
  kIn,
  kInner,
  kInsert,
  kIntersect,
  kInterval,
  kInto,
  kIs,
  kJoin,
  kLast,
  kLateral,
  kLeading,
  kLeft,
  kLike,
  kLimit,
  kMatchCondition,
  kMatchRecognize,
  kMatched,
  kMerge,
  kMinus,
  kNatural,
  kNext,
  kNot,
  kNull,
  kNulls,
  kOffset,
  kOn,
  kOr,
  kOrder,
  kOuter,
  kOver,
  kOverwrite,
  kPartition,
  kPivot,
  kPreceding,
  kPrior,
  kQualify,
  kRange,
  kRecursive,
  kRegexp,
  kRename,
  kReplace,
  kRespect,
  kRight,
  kRlike,
  kRow,
  kRows,
  kSample,
  kSelect,
  kSeparator,
  kSet,
  kStart,
  kTable,
  kTablesample,
  kThen,
  kTop,
  kTrailing,
  kTrue,
  kUnbounded,
  kUnion,
  kUnpivot,
  kUpdate,
  kUsing,
  kValues,
  kWhen,
  kWhere,
  kWindow,
  kWith,
  kWithin,
};

struct Token {
  TokenKind kind = TokenKind::kEnd;
  Punct punct = Punct::kNone;
  Keyword keyword = Keyword::kNone;
  std::uint32_t begin = 0;  // byte offsets into the SQL text
  std::uint32_t end = 0;
};

// The keyword a word token spells, ignoring case; kNone for any other word.
Keyword keyword_of(std::string_view word);

// An identifier token's name as the catalogue spells it: lower-cased by Unicode's simple case
// mapping, quotes removed.
std::string identifier_name(std::string_view sql, const Token& token);

// A string literal token's value ('...' with escapes undone, $$...$$ as is).
std::string string_value(std::string_view sql, const Token& token);

}  // namespace orvane::sql_parsing::internal
