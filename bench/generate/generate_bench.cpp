// Times whole builds of the generator against in-process fakes that answer at once: a catalogue
// of N tables with 20 columns each, every table joined to its next two neighbours (2N join
// groups) by 5 queries per pair, so each table's history holds 20 queries of which 10 are
// mined; and an LLM that answers every question at once. N is the table limit: 30 (the default),
// 100 and 300. Time is the process's CPU time per build, parsing, prompts, token counts,
// structured-output checks, tracing and log formatting included (log lines go to a null sink).
//
//   generate_bench [benchmark flags]
#include <benchmark/benchmark.h>
#include <spdlog/sinks/null_sink.h>

#include <map>
#include <string>

#include "orvane_semantic_agent/generate/generate.hpp"
#include "orvane_semantic_agent/generate/internal/module_state.hpp"
#include "platform/json/json_writer.hpp"
#include "platform/log/log.hpp"
#include "platform/tracing/tracer.hpp"

namespace {

using orvane::metadata::urns::DatasetUrn;
using platform::Value;

constexpr int kColumns = 20;
constexpr int kQueriesPerPair = 5;

std::string table_name(int table) { return "t" + std::to_string(table); }

std::string urn_text(int table) {
  return "urn:orvane:dataset:(urn:orvane:dataPlatform:snowflake,bench.public." + table_name(table) +
         ",PROD)";
}

Value::List dataset_aspects(int table) {
  Value::List fields;
  for (int c = 0; c < kColumns; ++c) {
    const char* type = c == 0 ? "NUMBER" : c % 5 == 1 ? "DATE" : c % 3 == 0 ? "NUMBER" : "STRING";
    fields.push_back(Value::Map{{"fieldPath", c == 0 ? "ID" : "COL_" + std::to_string(c)},
                                {"nativeDataType", c == 0 ? "NUMBER(38,0)" : "VARCHAR(256)"},
                                {"type", type},
                                {"description", "Column " + std::to_string(c) + " of the table"},
                                {"isPartOfKey", c == 0}});
  }
  return Value::List{
      Value::Map{{"name", "datasetProperties"},
                 {"value", Value::Map{{"name", table_name(table)},
                                      {"qualifiedName", "BENCH.PUBLIC.T" + std::to_string(table)},
                                      {"description", "Bench table " + std::to_string(table)}}}},
      Value::Map{{"name", "schemaMetadata"}, {"value", Value::Map{{"fields", fields}}}},
      Value::Map{{"name", "usageFeatures"},
                 {"value", Value::Map{{"queryCountPercentileLast30Days", (table * 37) % 101}}}}};
}

// A catalogue whose every answer is made before the clock starts.
class PreparedGraph : public orvane::sdk::OrvaneGraph {
 public:
  explicit PreparedGraph(int tables) {
    // Most-run first: a table's joins to its next neighbours, then those from its previous ones.
    std::map<int, Value::List> histories, backward;
    for (int table = 0; table < tables; ++table) {
      entities_[urn_text(table)] = entity(urn_text(table), dataset_aspects(table));
      for (int step = 1; step <= 2; ++step) {
        const int other = (table + step) % tables;
        for (int q = 0; q < kQueriesPerPair; ++q) {
          const std::string id =
              "q" + std::to_string(table) + "_" + std::to_string(other) + "_" + std::to_string(q);
          const std::string sql = "SELECT a.ID, b.COL_2, COUNT(*) FROM t" + std::to_string(table) +
                                  " a JOIN t" + std::to_string(other) +
                                  " b ON a.COL_3 = b.ID WHERE a.COL_" + std::to_string(q + 4) +
                                  " > 10 GROUP BY 1, 2";
          entities_["urn:orvane:query:" + id] = entity(
              "urn:orvane:query:" + id,
              Value::List{
                  Value::Map{{"name", "queryProperties"},
                             {"value", Value::Map{{"statement", Value::Map{{"value", sql}}}}}},
                  Value::Map{
                      {"name", "dataPlatformInstance"},
                      {"value", Value::Map{{"platform", "urn:orvane:dataPlatform:snowflake"}}}}});
          const Value query = Value::Map{
              {"urn", "urn:orvane:query:" + id},
              {"subjects", Value::List{Value::Map{{"dataset", Value::Map{{"urn", urn_text(table)}}},
                                                  {"schemaField", nullptr}},
                                       Value::Map{{"dataset", Value::Map{{"urn", urn_text(other)}}},
                                                  {"schemaField", nullptr}}}}};
          histories[table].push_back(query);
          backward[other].push_back(query);
        }
      }
    }
    for (auto& [table, queries] : histories) {
      queries.insert(queries.end(), backward[table].begin(), backward[table].end());
      histories_[urn_text(table)] =
          Value::Map{{"listQueries", Value::Map{{"start", 0},
                                                {"count", static_cast<int>(queries.size())},
                                                {"total", static_cast<int>(queries.size())},
                                                {"queries", queries}}}};
    }
  }

  Value execute_graphql(const std::string&, const Value& variables) override {
    if (const Value* input = variables.find("input")) {
      const Value& urn = input->find("orFilters")->as_list()[0].find("and")->as_list()[0];
      return histories_.at(urn.find("values")->as_list()[0].as_string());
    }
    return entities_.at(variables.find("urn")->as_string());
  }

 private:
  static Value entity(const std::string& urn, Value::List aspects) {
    return Value::Map{{"entity", Value::Map{{"urn", urn}, {"aspects", std::move(aspects)}}}};
  }

  std::map<std::string, Value> entities_;
  std::map<std::string, Value> histories_;
};

// Every relationship joins the start table to its neighbour on their keys.
Value relationship_completion(const Value&) {
  static const Value answer = [] {
    const Value arguments =
        Value::Map{{"description", "Each row of t0 belongs to one row of t1"},
                   {"relationship_type", "many_to_one"},
                   {"join_type", "left_outer"},
                   {"left_table", "t0"},
                   {"right_table", "t1"},
                   {"relationship_columns",
                    Value::List{Value::Map{{"left_column", "COL_3"}, {"right_column", "ID"}}}}};
    const Value call =
        Value::Map{{"id", "call_1"},
                   {"type", "function"},
                   {"function", Value::Map{{"name", "JoinRelationship"},
                                           {"arguments", platform::json::write(arguments)}}}};
    return Value::Map{
        {"choices",
         Value::List{Value::Map{
             {"message", Value::Map{{"role", "assistant"}, {"tool_calls", Value::List{call}}}}}}}};
  }();
  return answer;
}

class DiscardingExporter : public platform::tracing::TraceExporter {
 public:
  void prepare_experiment(const std::string&) override {}
  void export_trace(const platform::tracing::TraceRecord&) override {}
};

void BM_Build(benchmark::State& state) {
  const int tables = static_cast<int>(state.range(0));
  auto logger = platform::log::logger();
  logger->sinks().clear();
  logger->sinks().push_back(std::make_shared<spdlog::sinks::null_sink_mt>());
  platform::tracing::Tracer tracer(std::make_unique<DiscardingExporter>());
  orvane_semantic_agent::generate::internal::ScopedModuleTracing module(tracer,
                                                                        relationship_completion);
  const orvane::sdk::OrvaneClient client(std::make_shared<PreparedGraph>(tables));
  std::size_t relationships = 0;
  std::size_t registered = 0;
  for (auto _ : state) {
    orvane_semantic_agent::generate::SemanticModelGenerator generator(
        client, tables, {{DatasetUrn::from_string(urn_text(0))}});
    const auto model = generator.build();
    relationships = model->relationships->size();
    registered = model->tables.size();
    benchmark::DoNotOptimize(model);
  }
  state.counters["tables"] = static_cast<double>(registered);
  state.counters["relationships"] = static_cast<double>(relationships);
  tracer.flush();
}
BENCHMARK(BM_Build)
    ->Arg(30)
    ->Arg(100)
    ->Arg(300)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime();

}  // namespace

BENCHMARK_MAIN();
