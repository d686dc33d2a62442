#include "platform/pyrepr/python_repr.hpp"

#include <fmt/format.h>
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

// Bytes that are not UTF-8 show as the Python side shows them: its HTTP client decodes answers
// with errors="replace", so each maximal ill-formed subpart is one U+FFFD.
TEST(PythonTextRepr, BytesThatAreNotUtf8ShowAsPythonsReplacement) {
  const std::vector<std::string> texts = {
      "\xC3"
      "A",
      "x\xE2\x82"
      "A",
      "\xED\xA0\x80",
      "\xF0\x9F\x98",
      "\x80\xBF",
      "ok \xFF end",
      "caf\xC3\xA9 \xC3",
      std::string(70, 'w') + " \xE2\x82 " + std::string(30, 'z')};
  std::string hex_lines;
  for (const std::string& text : texts) {
    for (const char c : text) hex_lines += fmt::format("{:02x}", static_cast<unsigned char>(c));
    hex_lines += "\n";
  }
  const std::string reference = osa_test::run_command(
      "/usr/bin/python3 -c 'import pprint, sys; "
      "texts = [bytes.fromhex(line).decode(\"utf-8\", \"replace\") for line in sys.stdin]; "
      "sys.stdout.write(chr(10).join(repr(t) for t in texts) + chr(10) + pprint.pformat(texts))'",
      hex_lines);
  std::string ours;
  for (const std::string& text : texts) ours += python_text_repr(text) + "\n";
  ours += python_pformat(nlohmann::json(texts));
  EXPECT_EQ(ours, reference);
}

}  // namespace
}  // namespace platform::pyrepr
