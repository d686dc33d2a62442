// Throughput of parse_sql_lineage on the labelled join corpus (bytes of SQL per second), and how
// its time grows with the number of joins in one text.
//
//   sql_parsing_bench [google benchmark flags]
//   sql_parsing_bench --dump-corpus FILE   writes the corpus texts as JSON strings, one a line
//                                          (compare_with_sqlglot.py times the reference on them)
#include <benchmark/benchmark.h>

#include <fstream>
#include <iostream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "orvane/sql_parsing/sql_lineage.hpp"
#include "tests/orvane/sql_parsing/join_corpus.hpp"

namespace {

const std::vector<std::string>& corpus_texts() {
  static const std::vector<std::string> texts = [] {
    std::vector<std::string> out;
    for (const auto& corpus_case : osa_test::load_join_corpus(OSA_SQL_JOIN_CORPUS_DIR)) {
      out.push_back(corpus_case.sql);
    }
    return out;
  }();
  return texts;
}

void BM_ParseCorpus(benchmark::State& state) {
  const auto& texts = corpus_texts();
  std::size_t bytes = 0;
  for (const auto& text : texts) bytes += text.size();
  for (auto _ : state) {
    for (const auto& text : texts) {
      auto result =
          orvane::sql_parsing::parse_sql_lineage(text, "snowflake", std::nullopt, "DB", "S");
      benchmark::DoNotOptimize(result);
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
  state.counters["texts"] = static_cast<double>(texts.size());
}
BENCHMARK(BM_ParseCorpus);

// One model-sized text: a chain of CTEs, each joining the previous one to a table.
void BM_CteJoinChain(benchmark::State& state) {
  std::string sql = "with c0 as (select id, v from base)";
  for (int i = 1; i < state.range(0); ++i) {
    std::string n = std::to_string(i), prev = std::to_string(i - 1);
    sql +=
        ", c" + n + " as (select p.id, t.v from c" + prev + " p join t" + n + " t on t.id = p.id)";
  }
  sql += " select * from c" + std::to_string(state.range(0) - 1);
  for (auto _ : state) {
    auto result = orvane::sql_parsing::parse_sql_lineage(sql, "snowflake", std::nullopt, "DB", "S");
    benchmark::DoNotOptimize(result);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * sql.size()));
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_CteJoinChain)->RangeMultiplier(8)->Range(8, 4096)->Complexity();

int dump_corpus(const char* path) {
  std::ofstream out(path);
  for (const auto& text : corpus_texts()) out << nlohmann::json(text).dump() << '\n';
  return out ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--dump-corpus") return dump_corpus(argv[2]);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
