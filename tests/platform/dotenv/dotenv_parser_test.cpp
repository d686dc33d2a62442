#include "platform/dotenv/dotenv_parser.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>

namespace platform::dotenv {

void PrintTo(const DotenvEntry& entry, std::ostream* out) {
  *out << entry.name << "=" << ::testing::PrintToString(entry.value);
}

namespace {

using namespace std::literals;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

// The entries of `text` as a map (the last entry of a name counts), with `environment` set.
std::map<std::string, std::string> values(
    std::string_view text, const std::map<std::string, std::string>& environment = {}) {
  const auto parsed = parse_dotenv(text, [&](const std::string& name) {
    const auto it = environment.find(name);
    return it == environment.end() ? std::nullopt : std::optional<std::string>(it->second);
  });
  EXPECT_THAT(parsed.bad_lines, IsEmpty()) << text;
  std::map<std::string, std::string> result;
  for (const auto& entry : parsed.entries) result[entry.name] = entry.value;
  return result;
}

using Values = std::map<std::string, std::string>;

TEST(ParseDotenv, CommentsBlankLinesExportAndSpacing) {
  EXPECT_EQ(values("# heading\n\n  \t\nA=1\nexport B=2\n  C = three  \nexport\tD=4\r\nE=\n"),
            (Values{{"A", "1"}, {"B", "2"}, {"C", "three"}, {"D", "4"}, {"E", ""}}));
  // "export" alone is a name; a name without "=" sets nothing.
  EXPECT_EQ(values("export=x\nFLAG\n# only=comment\n"), (Values{{"export", "x"}}));
  EXPECT_EQ(values("\xEF\xBB\xBF"
                   "A=1\n"),
            (Values{{"A", "1"}}));  // a byte order mark
}

TEST(ParseDotenv, UnquotedValuesDropTrailingCommentsOnlyAfterABlank) {
  EXPECT_EQ(
      values("A=a#b\nB=b # comment\nC= # all comment\nD=#kept\nE=x\t#tab\nF=1 2 3  \n"),
      (Values{{"A", "a#b"}, {"B", "b"}, {"C", ""}, {"D", "#kept"}, {"E", "x"}, {"F", "1 2 3"}}));
}

TEST(ParseDotenv, SingleQuotesAreLiteral) {
  EXPECT_EQ(
      values(R"(A='${HOME} \n "x" # not a comment'
B='it\'s \\ here' # comment
C=''
)",
             {{"HOME", "/root"}}),
      (Values{{"A", R"(${HOME} \n "x" # not a comment)"}, {"B", R"(it's \ here)"}, {"C", ""}}));
}

TEST(ParseDotenv, DoubleQuotesDecodeEscapes) {
  EXPECT_EQ(values(R"(A="1\n2\t3\r\"q\" \'s\' \\ \a\b\f\v"
B="\x \$ \u00e9 # kept"   # comment
C="ends in backslash\\"
D="héllo ✓"
)"),
            (Values{{"A", "1\n2\t3\r\"q\" 's' \\ \a\b\f\v"},
                    {"B", R"(\x \$ \u00e9 # kept)"},
                    {"C", "ends in backslash\\"},
                    {"D", "héllo ✓"}}));
}

TEST(ParseDotenv, QuotedValuesRunOverLines) {
  const auto parsed =
      parse_dotenv("KEY=\"-----BEGIN-----\nabc\n-----END-----\"\nNEXT='a\r\nb'\nLAST=1\n=x\n");
  EXPECT_THAT(parsed.entries, ElementsAre(DotenvEntry{"KEY", "-----BEGIN-----\nabc\n-----END-----"},
                                          DotenvEntry{"NEXT", "a\r\nb"}, DotenvEntry{"LAST", "1"}));
  EXPECT_THAT(parsed.bad_lines, ElementsAre(7));  // the line count went on through the values
}

TEST(ParseDotenv, ExpansionFromTheEnvironmentFirstThenEarlierLines) {
  const Values environment{{"HOST", "env-host"}, {"EMPTY", ""}};
  EXPECT_EQ(values("HOST=file-host\n"
                   "PORT=5432\n"
                   "URL=\"pg://${HOST}:${PORT}/${DB:-main}\"\n"
                   "RAW=${UNSET}|${EMPTY:-fallback}|${UNSET:-a:b}|$HOST|${HOST:x}|${OPEN\n"
                   "PORT=6543\n"
                   "AGAIN=${PORT}\n",
                   environment),
            (Values{{"HOST", "file-host"},
                    {"PORT", "6543"},
                    {"URL", "pg://env-host:5432/main"},
                    {"RAW", "||a:b|$HOST|${HOST:x}|${OPEN"},
                    {"AGAIN", "6543"}}));
}

TEST(ParseDotenv, MalformedStatementsAreSkippedLineByLine) {
  const auto parsed = parse_dotenv(
      "GOOD=1\n"
      "=no name\n"
      "OPEN=\"never closed\n"
      "AFTER=2\n"
      "JUNK=\"x\" trailing\n"
      "'quoted name'=3\n"
      "'=4\n"
      "'a=b'=5\n"
      "NUL=a\0b\n"
      "OPEN_SINGLE='x\n"
      "LAST=6"sv);
  EXPECT_THAT(parsed.entries,
              ElementsAre(DotenvEntry{"GOOD", "1"}, DotenvEntry{"AFTER", "2"},
                          DotenvEntry{"quoted name", "3"}, DotenvEntry{"LAST", "6"}));
  EXPECT_THAT(parsed.bad_lines, ElementsAre(2, 3, 5, 7, 8, 9, 10));
}

TEST(ParseDotenv, EmptyAndWhitespaceOnlyTexts) {
  EXPECT_THAT(parse_dotenv("").entries, IsEmpty());
  EXPECT_THAT(parse_dotenv("\n\r\n \t \n# x").entries, IsEmpty());
  EXPECT_THAT(parse_dotenv("A=\"\\").bad_lines, ElementsAre(1));
}

}  // namespace
}  // namespace platform::dotenv
