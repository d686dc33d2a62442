#include "platform/pyrepr/python_repr.hpp"

#include <gtest/gtest.h>

#include "tests/support/paths.hpp"

namespace platform::pyrepr {
namespace {

// What Python's own pprint writes for the JSON text.
std::string reference_pformat(const std::string& json_text) {
  return osa_test::run_command(
      "/usr/bin/python3 -c 'import json, pprint, sys; "
      "sys.stdout.write(pprint.pformat(json.loads(sys.stdin.read())))'",
      json_text);
}

TEST(PythonPformat, MatchesPythonsPprint) {
  const std::string long_text =
      "The total revenue per region for the last quarter, broken down by month and product "
      "category, ordered by revenue descending; 'quoted' and \"double\" parts\nand a second "
      "line\tafter a tab that is long enough to be split into several literals for sure.";
  const std::string cases[] = {
      R"([])",
      R"({})",
      R"([{"type": "text", "text": "hello"}])",
      R"([{"type": "sql", "statement": "SELECT 1", "confidence": {"verified_query_used": null}}])",
      R"(["it's", "say \"hi\"", "both ' and \"", "back\\slash", "tab\there", "é ünïcode ✓", "nbsp\u00a0x", "\u0001"])",
      R"([1, -2, 1.5, 0.1, 1e16, 1e15, 123456789012345678, 0.0001, 0.00001, -0.0, 2.5e-7, true, false, null])",
      "[{\"type\": \"text\", \"text\": " + nlohmann::json(long_text).dump() + "}]",
      "[" + nlohmann::json(long_text).dump() + "]",
      nlohmann::json(long_text).dump(),
      R"([{"type": "suggestions", "suggestions": ["What is the revenue per region?", "Which product sold best last month?", "How many customers ordered twice?"]}])",
      R"({"b": [1, 2, {"z": "last", "a": "first"}], "a": {"nested": {"deeper": ["x", "y", "a text of some length that pushes past the width"]}}})",
      R"([{"type": "text", "text": "0123456789012345678901234567890123456789012345678901234567890123456789abc"}])",
  };
  for (const std::string& json_text : cases) {
    SCOPED_TRACE(json_text);
    EXPECT_EQ(python_pformat(nlohmann::json::parse(json_text)), reference_pformat(json_text));
  }
}

TEST(PythonTextRepr, MatchesPythonsRepr) {
  const std::vector<std::string> texts = {"Relationship a -> b: x left table a has no primary key",
                                          "it's",
                                          "say \"hi\"",
                                          "both ' and \"",
                                          "back\\slash",
                                          "tab\tnew\nline",
                                          "é ✓ \u00a0",
                                          ""};
  nlohmann::json list = texts;
  const std::string reference = osa_test::run_command(
      "/usr/bin/python3 -c 'import json, sys; "
      "sys.stdout.write(chr(10).join(repr(t) for t in json.loads(sys.stdin.read())))'",
      list.dump());
  std::string ours;
  for (std::size_t i = 0; i < texts.size(); ++i) {
    ours += (i > 0 ? "\n" : "") + python_text_repr(texts[i]);
  }
  EXPECT_EQ(ours, reference);
}

}  // namespace
}  // namespace platform::pyrepr
