// The analyst answer's decoding, from body text to entries, without a server.
#include "orvane_semantic_agent/cortex/internal/analyst_answer.hpp"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <string>
#include <vector>

#include "platform/errors/errors.hpp"
#include "tests/support/expect_throw.hpp"

namespace orvane_semantic_agent::cortex::internal {
namespace {

std::vector<AnalystEntry> decode(const std::string& body) {
  return entries_of(content_blocks(body));
}

TEST(AnalystAnswer, TakesTextSqlAndSuggestionBlocksInOrderAndSkipsOtherTypes) {
  const std::vector<AnalystEntry> expected = {
      std::string("First."), AnalystPair{"sql", "SELECT 1"}, std::string("Second."),
      AnalystPair{"suggestions", platform::Value::List{"a?", "b?"}},
      AnalystPair{"sql", "SELECT 2"}};
  EXPECT_EQ(decode(R"({"message":{"role":"analyst","content":[
      {"type":"text","text":"First."},
      {"type":"sql","statement":"SELECT 1","confidence":{}},
      {"type":"text","text":"Second."},
      {"type":"suggestions","suggestions":["a?","b?"]},
      {"type":"chart","chart":{}},
      {"type":"SQL","statement":"case matters"},
      {"type":"sql","statement":"SELECT 2"}]}})"),
            expected);
}

TEST(AnalystAnswer, KeepsValuesAsTheServiceSentThemKeyOrderIncluded) {
  const auto entries = decode(
      R"({"message":{"content":[{"type":"suggestions","suggestions":{"z":1,"a":[true,null]}}]}})");
  ASSERT_EQ(entries.size(), 1u);
  const platform::Value& value = std::get<AnalystPair>(entries[0]).value;
  const platform::Value::Map expected = {{"z", std::int64_t{1}},
                                         {"a", platform::Value::List{true, nullptr}}};
  EXPECT_EQ(value, platform::Value(expected));
}

TEST(AnalystAnswer, AMissingMessageOrContentGivesNoEntries) {
  for (const char* body :
       {"{}", R"({"message":{}})", R"({"message":{"content":[]}})", R"({"other":1})"}) {
    SCOPED_TRACE(body);
    EXPECT_TRUE(decode(body).empty());
  }
}

TEST(AnalystAnswer, ABlockWithoutItsKeyFailsNamingIt) {
  const struct {
    const char* blocks;
    const char* key;
  } cases[] = {
      {R"([{"type":"text","text":"a"},{"text":"b"}])", "'type'"},
      {R"([{"type":"text"}])", "'text'"},
      {R"([{"type":"sql","sql":"SELECT 1"}])", "'statement'"},
      {R"([{"type":"suggestions"}])", "'suggestions'"},
  };
  for (const auto& [blocks, key] : cases) {
    SCOPED_TRACE(blocks);
    EXPECT_THROW_MSG(decode(std::string(R"({"message":{"content":)") + blocks + "}}"),
                     platform::KeyError, key);
  }
}

TEST(AnalystAnswer, AnswersOfAnotherShapeFailWithTheirOwnText) {
  const struct {
    const char* body;
    const char* message;
  } cases[] = {
      {"[]", "Unexpected answer from Snowflake Analyst: not a JSON object"},
      {R"("text")", "Unexpected answer from Snowflake Analyst: not a JSON object"},
      {R"({"message":"bad model"})",
       R"(Unexpected answer from Snowflake Analyst: "message" holds no list of "content")"},
      {R"({"message":{"content":{"type":"text"}}})",
       R"(Unexpected answer from Snowflake Analyst: "message" holds no list of "content")"},
      {R"({"message":{"content":["text"]}})",
       R"(Unexpected content block from Snowflake Analyst: "text")"},
      {R"({"message":{"content":[{"type":"text","text":7}]}})",
       R"(Unexpected text block from Snowflake Analyst: {"type":"text","text":7})"},
  };
  for (const auto& [body, message] : cases) {
    SCOPED_TRACE(body);
    EXPECT_THROW_MSG(decode(body), platform::RuntimeError, message);
  }
}

TEST(AnalystAnswer, TextThatIsNotJsonFailsWithTheParsersComplaint) {
  for (const char* body : {"", "not json", R"({"message":)"}) {
    SCOPED_TRACE(body);
    EXPECT_THROW_SUBSTR(content_blocks(body), platform::ValueError,
                        "Snowflake Analyst's answer is not JSON: [json.exception.parse_error.101]");
  }
}

TEST(AnalystAnswer, NestingIsBoundedAtTheDepthLimit) {
  const auto nested = [](std::size_t depth) {
    return R"({"message":{"content":[{"type":"sql","statement":)" + std::string(depth, '[') +
           std::string(depth, ']') + "}]}}";
  };
  // The body, "message", "content" and the block take four levels.
  EXPECT_EQ(decode(nested(256 - 4)).size(), 1u);
  EXPECT_THROW_MSG(decode(nested(256 - 3)), platform::ValueError,
                   "Snowflake Analyst's answer nests arrays and objects deeper than 256 levels");

  // Parsed whole, 4 MiB of "[" would take hundreds of MiB before the depth check refused it.
  rusage before{};
  getrusage(RUSAGE_SELF, &before);
  EXPECT_THROW_MSG(content_blocks(std::string(std::size_t{4} << 20, '[')), platform::ValueError,
                   "Snowflake Analyst's answer nests arrays and objects deeper than 256 levels");
  rusage after{};
  getrusage(RUSAGE_SELF, &after);
  EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 64 * 1024) << "KiB more at the peak";
}

}  // namespace
}  // namespace orvane_semantic_agent::cortex::internal
