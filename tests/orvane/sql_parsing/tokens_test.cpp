// The keyword table and the tokenizer's byte tables, below the parser: every keyword is found by
// its spelling in any case, the word classes agree with one another, and every punctuation and
// literal form is cut where the grammar expects.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "orvane/sql_parsing/internal/keyword.hpp"
#include "orvane/sql_parsing/internal/syntax_error.hpp"
#include "orvane/sql_parsing/internal/tokenizer.hpp"

namespace {

using namespace orvane::sql_parsing::internal;
using ::testing::ElementsAreArray;

std::string lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  return out;
}

TEST(KeywordTable, EveryKeywordIsFoundByItsSpellingInAnyCase) {
  std::set<std::string_view> spellings;
  for (std::size_t index = 1; index < kKeywordCount; ++index) {
    const auto keyword = static_cast<Keyword>(index);
    const std::string_view spelling = keyword_spelling(keyword);
    SCOPED_TRACE(std::string(spelling));
    EXPECT_TRUE(spellings.insert(spelling).second) << "spelt twice";
    EXPECT_EQ(keyword_of(spelling), keyword);
    EXPECT_EQ(keyword_of(lower(spelling)), keyword);
    std::string mixed = lower(spelling);
    mixed[0] = spelling[0];
    EXPECT_EQ(keyword_of(mixed), keyword);
  }
  EXPECT_EQ(keyword_spelling(Keyword::kNone), "");
}

TEST(KeywordTable, WordsThatOnlyResembleKeywordsAreIdentifiers) {
  for (const char* word :
       {"", "A", "JOINS", "J0IN", "SELECT_", "_SELECT", "SELECT$", "MATCH_CONDITIONS",
        "MATCH_RECOGNIZE_", "ÉND", "END\xC3\xA9", "on\x80"}) {
    SCOPED_TRACE(word);
    EXPECT_EQ(keyword_of(word), Keyword::kNone);
  }
}

// The parser reads the classes together: an unreserved keyword is an exception among clause
// keywords, NOT IN among infix operators, and a clause keyword already blocks an alias.
TEST(KeywordTable, WordClassesAgreeWithOneAnother) {
  namespace flag = keyword_flag;
  for (std::size_t index = 1; index < kKeywordCount; ++index) {
    const auto keyword = static_cast<Keyword>(index);
    SCOPED_TRACE(std::string(keyword_spelling(keyword)));
    auto implies = [keyword](std::uint8_t one, std::uint8_t other) {
      return !has_flag(keyword, one) || has_flag(keyword, other);
    };
    EXPECT_TRUE(implies(flag::kUnreserved, flag::kClause));
    EXPECT_TRUE(implies(flag::kSetOperator, flag::kClause));
    EXPECT_TRUE(implies(flag::kNegatableInfix, flag::kInfix));
    EXPECT_FALSE(has_flag(keyword, flag::kClause) && has_flag(keyword, flag::kNotAlias));
  }
  for (std::uint8_t each = 1; each != 0; each = static_cast<std::uint8_t>(each << 1)) {
    EXPECT_FALSE(has_flag(Keyword::kNone, each));
  }
}

struct Cut {
  TokenKind kind;
  Punct punct;
  std::string text;
};

std::vector<Cut> cuts(std::string_view sql) {
  std::vector<Token> tokens;
  tokenize(sql, tokens);
  std::vector<Cut> out;
  for (const Token& token : tokens) {
    if (token.kind == TokenKind::kEnd) break;
    out.push_back(
        {token.kind, token.punct, std::string(sql.substr(token.begin, token.end - token.begin))});
  }
  return out;
}

bool operator==(const Cut& a, const Cut& b) {
  return a.kind == b.kind && a.punct == b.punct && a.text == b.text;
}

void PrintTo(const Cut& cut, std::ostream* out) {
  *out << static_cast<int>(cut.kind) << "/" << static_cast<int>(cut.punct) << " '" << cut.text
       << "'";
}

constexpr TokenKind kP = TokenKind::kPunct;
constexpr Punct kOp = Punct::kOperator;

TEST(Tokenizer, CutsEveryPunctuationWithTheLongestOperator) {
  EXPECT_THAT(cuts("()[]{},;.*?:"), ElementsAreArray(std::vector<Cut>{{kP, Punct::kLParen, "("},
                                                                      {kP, Punct::kRParen, ")"},
                                                                      {kP, Punct::kLBracket, "["},
                                                                      {kP, Punct::kRBracket, "]"},
                                                                      {kP, Punct::kLBrace, "{"},
                                                                      {kP, Punct::kRBrace, "}"},
                                                                      {kP, Punct::kComma, ","},
                                                                      {kP, Punct::kSemicolon, ";"},
                                                                      {kP, Punct::kDot, "."},
                                                                      {kP, Punct::kStar, "*"},
                                                                      {kP, Punct::kQuestion, "?"},
                                                                      {kP, Punct::kColon, ":"}}));
  EXPECT_THAT(cuts(":: => == = <> <= < >= > != ! || | -> - + / % & ^ ~ #"),
              ElementsAreArray(std::vector<Cut>{{kP, Punct::kDoubleColon, "::"},
                                                {kP, Punct::kFatArrow, "=>"},
                                                {kP, kOp, "=="},
                                                {kP, kOp, "="},
                                                {kP, kOp, "<>"},
                                                {kP, kOp, "<="},
                                                {kP, kOp, "<"},
                                                {kP, kOp, ">="},
                                                {kP, kOp, ">"},
                                                {kP, kOp, "!="},
                                                {kP, kOp, "!"},
                                                {kP, kOp, "||"},
                                                {kP, kOp, "|"},
                                                {kP, kOp, "->"},
                                                {kP, kOp, "-"},
                                                {kP, kOp, "+"},
                                                {kP, kOp, "/"},
                                                {kP, kOp, "%"},
                                                {kP, kOp, "&"},
                                                {kP, kOp, "^"},
                                                {kP, kOp, "~"},
                                                {kP, kOp, "#"}}));
  // Two operators that touch stay two where no longer operator spells them.
  EXPECT_THAT(cuts("a=-1:::b"),
              ElementsAreArray(std::vector<Cut>{{TokenKind::kWord, Punct::kNone, "a"},
                                                {kP, kOp, "="},
                                                {kP, kOp, "-"},
                                                {TokenKind::kNumber, Punct::kNone, "1"},
                                                {kP, Punct::kDoubleColon, "::"},
                                                {kP, Punct::kColon, ":"},
                                                {TokenKind::kWord, Punct::kNone, "b"}}));
}

TEST(Tokenizer, TellsLiteralsFromWordsByTheirFirstBytes) {
  constexpr Punct kNo = Punct::kNone;
  EXPECT_THAT(cuts("x'0A' X'ff' xy x .5 1. 1.5e-3 t.c $$a'b$$ $1 $name \"q\"\"x\" 'it''s' "
                   "@db.st/\"a b\"/f.csv _u9$ é"),
              ElementsAreArray(std::vector<Cut>{{TokenKind::kString, kNo, "x'0A'"},
                                                {TokenKind::kString, kNo, "X'ff'"},
                                                {TokenKind::kWord, kNo, "xy"},
                                                {TokenKind::kWord, kNo, "x"},
                                                {TokenKind::kNumber, kNo, ".5"},
                                                {TokenKind::kNumber, kNo, "1."},
                                                {TokenKind::kNumber, kNo, "1.5e-3"},
                                                {TokenKind::kWord, kNo, "t"},
                                                {kP, Punct::kDot, "."},
                                                {TokenKind::kWord, kNo, "c"},
                                                {TokenKind::kString, kNo, "$$a'b$$"},
                                                {TokenKind::kVariable, kNo, "$1"},
                                                {TokenKind::kVariable, kNo, "$name"},
                                                {TokenKind::kQuotedIdent, kNo, "\"q\"\"x\""},
                                                {TokenKind::kString, kNo, "'it''s'"},
                                                {TokenKind::kStage, kNo, "@db.st/\"a b\"/f.csv"},
                                                {TokenKind::kWord, kNo, "_u9$"},
                                                {TokenKind::kWord, kNo, "é"}}));
}

TEST(Tokenizer, RefusesBytesThatStartNoToken) {
  for (const char* sql : {"a ` b", "a \\ b", "a \x01"}) {
    SCOPED_TRACE(sql);
    std::vector<Token> tokens;
    EXPECT_THROW(tokenize(sql, tokens), SqlSyntaxError);
  }
}

}  // namespace
