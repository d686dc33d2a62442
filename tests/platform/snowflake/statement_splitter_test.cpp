#include "platform/snowflake/statement_splitter.hpp"

#include <gtest/gtest.h>

namespace platform::snowflake {
namespace {

using Statements = std::vector<std::string>;

TEST(SplitStatements, SplitsOnSemicolonsOutsideQuotesCommentsAndDollarStrings) {
  struct Case {
    std::string text;
    Statements expected;
  };
  const Case cases[] = {
      {"SELECT 1; SELECT 2;", {"SELECT 1", "SELECT 2"}},
      {"SELECT 1", {"SELECT 1"}},
      {"  \n ;; ", {}},
      {"SELECT 'a;b'; SELECT 'it''s; fine'", {"SELECT 'a;b'", "SELECT 'it''s; fine'"}},
      {R"(SELECT 'back\'slash;'; SELECT 2)", {R"(SELECT 'back\'slash;')", "SELECT 2"}},
      {R"(SELECT "odd;""name" FROM t; SELECT 2)", {R"(SELECT "odd;""name" FROM t)", "SELECT 2"}},
      {"SELECT 1 -- not; here\n; SELECT 2", {"SELECT 1 -- not; here", "SELECT 2"}},
      {"/* a; b */ SELECT 1; /* only a comment; */ ; -- trailing; comment",
       {"/* a; b */ SELECT 1"}},
      {"CREATE FUNCTION f() RETURNS INT AS $$ SELECT 1; $$; SELECT 2",
       {"CREATE FUNCTION f() RETURNS INT AS $$ SELECT 1; $$", "SELECT 2"}},
      {"PUT file:///tmp/a.csv @stage; SELECT 1", {"PUT file:///tmp/a.csv @stage", "SELECT 1"}},
      // Unterminated runs swallow the rest rather than split inside them.
      {"SELECT 'open; SELECT 2", {"SELECT 'open; SELECT 2"}},
      {"SELECT $$ open; SELECT 2", {"SELECT $$ open; SELECT 2"}},
  };
  for (const auto& test_case : cases) {
    SCOPED_TRACE(test_case.text);
    EXPECT_EQ(split_statements(test_case.text), test_case.expected);
  }
}

TEST(LeadingKeyword, SkipsWhiteSpaceAndComments) {
  EXPECT_EQ(leading_keyword("  put file:///x @s"), "PUT");
  EXPECT_EQ(leading_keyword("-- note\n/* more */ Get @s file:///tmp"), "GET");
  EXPECT_EQ(leading_keyword("(SELECT 1)"), "");
  EXPECT_EQ(leading_keyword("/* only */"), "");
  EXPECT_EQ(leading_keyword("// note\n  put file:///x @s"), "PUT");
}

TEST(IsFileTransfer, PutAndGetOnly) {
  EXPECT_TRUE(is_file_transfer("Put file:///x @s"));
  EXPECT_TRUE(is_file_transfer("/* c */ GET @s file:///tmp"));
  EXPECT_FALSE(is_file_transfer("PUTS"));
  EXPECT_FALSE(is_file_transfer("SELECT 'PUT file:///x @s'"));
  EXPECT_FALSE(is_file_transfer("GETDATE()"));
}

}  // namespace
}  // namespace platform::snowflake
