// Runs every case of the labelled corpus through bin/sql_joins_driver in one batch.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>

#include "tests/orvane/sql_parsing/join_corpus.hpp"
#include "tests/support/paths.hpp"

namespace {

using nlohmann::json;

json optional_json(const std::optional<std::string>& value) {
  return value ? json(*value) : json(nullptr);
}

json expected_json(const osa_test::CorpusCase& corpus_case) {
  json joins = json::array();
  for (const auto& join : *corpus_case.expected_joins) {
    joins.push_back(json{{"join_type", join.join_type},
                         {"left_tables", join.left_tables},
                         {"right_tables", join.right_tables}});
  }
  return joins;
}

TEST(JoinCorpus, EveryCaseGivesItsLabelledJoins) {
  auto cases = osa_test::load_join_corpus(osa_test::source_dir() / "tests/data/sql_joins");
  ASSERT_GE(cases.size(), 80u);

  std::string input;
  for (const auto& corpus_case : cases) {
    json request{{"sql", corpus_case.sql},
                 {"platform", "snowflake"},
                 {"platform_instance", optional_json(corpus_case.platform_instance)},
                 {"default_db", optional_json(corpus_case.default_db)},
                 {"default_schema", optional_json(corpus_case.default_schema)}};
    input += request.dump() + "\n";
  }
  std::string driver = (osa_test::build_dir() / "bin" / "sql_joins_driver").string();
  std::istringstream output(osa_test::run_command("'" + driver + "'", input));

  std::string line;
  for (const auto& corpus_case : cases) {
    SCOPED_TRACE(corpus_case.where + " " + corpus_case.name);
    ASSERT_TRUE(std::getline(output, line)) << "driver answered too few lines";
    json answer = json::parse(line);
    if (corpus_case.expected_joins) {
      json expected{{"joins", expected_json(corpus_case)}};
      EXPECT_EQ(answer.dump(1), expected.dump(1));
    } else {
      EXPECT_TRUE(answer["joins"].is_null()) << answer.dump();
      EXPECT_NE(answer.value("error", "").find(corpus_case.error), std::string::npos)
          << answer.dump();
    }
  }
  EXPECT_FALSE(std::getline(output, line)) << "driver answered too many lines";
}

}  // namespace
