// Times `dump` and `safe_load` on the dump tree of a semantic model of 30 tables x 60 columns
// with 40 relationships, and the model's own `to_yaml`, `from_yaml` and `model_dump_json` on the
// same model (Google Benchmark).
//
//   yaml_bench [benchmark flags]     runs the benchmarks
//   yaml_bench --emit-yaml           prints the tree's YAML, so that compare.py can time the
//                                    reference library on the same tree
#include <benchmark/benchmark.h>

#include <cstring>
#include <iostream>
#include <string>

#include "orvane_semantic_agent/semantic_model/semantic_model.hpp"
#include "platform/value/value.hpp"
#include "platform/yaml/yaml.hpp"

namespace {

using platform::Value;

constexpr int kTables = 30;
constexpr int kColumnsPerTable = 60;
constexpr int kRelationships = 40;

const char* const kSubjects[] = {"customer",  "order",   "invoice",  "shipment", "product",
                                 "warehouse", "payment", "campaign", "session",  "subscription"};
const char* const kMeasures[] = {"amount",  "count",    "status", "created_at", "region",
                                 "channel", "discount", "tax",    "currency",   "score"};

std::string column_name(int table, int column) {
  return std::string(kSubjects[(table + column) % 10]) + "_" + kMeasures[column % 10] + "_" +
         std::to_string(column);
}

Value column(int table, int column, const char* data_type) {
  const std::string name = column_name(table, column);
  std::string description = "The " + std::string(kMeasures[column % 10]) + " of the " +
                            kSubjects[table % 10] +
                            " as recorded by the source system at the time of the event, in the "
                            "reporting currency where it applies";
  if (column % 7 == 0)
    description +=
        " (r\xC3\xA9sum\xC3\xA9 des donn\xC3\xA9"
        "es, d\xC3\xA9j\xC3\xA0 agr\xC3\xA9g\xC3\xA9"
        "es)";
  Value::List samples;
  if (std::strcmp(data_type, "NUMBER") == 0) {
    samples = {std::to_string(column * 17), std::to_string(column * 31 + 5), "0"};
  } else if (std::strcmp(data_type, "DATE") == 0) {
    samples = {"2024-01-0" + std::to_string(1 + column % 9), "2023-12-31"};
  } else {
    samples = {"EMEA", "north-america", "n/a: unknown", "true"};
  }
  return Value::Map{{"name", name},
                    {"synonyms", Value::List{name + " value", std::string(kMeasures[column % 10])}},
                    {"description", description},
                    {"expr", "\"" + name + "\""},
                    {"data_type", data_type},
                    {"unique", column == 0},
                    {"sample_values", std::move(samples)}};
}

Value table(int index) {
  const std::string name = std::string(kSubjects[index % 10]) + "s_" + std::to_string(index);
  Value::List dimensions, time_dimensions, facts;
  for (int c = 0; c < kColumnsPerTable; ++c) {
    if (c % 6 == 1) {
      time_dimensions.push_back(column(index, c, "DATE"));
    } else if (c % 3 == 2) {
      facts.push_back(column(index, c, "NUMBER"));
    } else {
      dimensions.push_back(column(index, c, "VARCHAR"));
    }
  }
  return Value::Map{
      {"name", name},
      {"description", "All " + name + " of the business, one row per " + kSubjects[index % 10] +
                          ", loaded nightly from the operational database."},
      {"base_table", Value::Map{{"database", "ANALYTICS"}, {"schema", "PUBLIC"}, {"table", name}}},
      {"primary_key", Value::Map{{"columns", Value::List{column_name(index, 0)}}}},
      {"dimensions", std::move(dimensions)},
      {"time_dimensions", std::move(time_dimensions)},
      {"facts", std::move(facts)},
      {"filters",
       Value::List{Value::Map{{"name", "recent_" + name},
                              {"expr", "created_at >= dateadd(day, -30, current_date())"},
                              {"synonyms", Value::List{"recent", "last 30 days"}}}}}};
}

Value model_tree() {
  Value::List tables;
  for (int t = 0; t < kTables; ++t) tables.push_back(table(t));
  Value::List relationships;
  for (int r = 0; r < kRelationships; ++r) {
    const int left = r % kTables;
    const int right = (r * 7 + 3) % kTables;
    const std::string left_name = tables[left].find("name")->as_string();
    const std::string right_name = tables[right].find("name")->as_string();
    relationships.push_back(Value::Map{
        {"name", left_name + "_" + right_name + ": many_to_one"},
        {"left_table", left_name},
        {"right_table", right_name},
        {"relationship_columns", Value::List{Value::Map{{"left_column", column_name(left, 3)},
                                                        {"right_column", column_name(right, 0)}}}},
        {"join_type", "left_outer"},
        {"relationship_type", "many_to_one"}});
  }
  return Value::Map{{"name", "warehouse_model"},
                    {"description", "Semantic model of the analytics warehouse."},
                    {"tables", std::move(tables)},
                    {"relationships", std::move(relationships)}};
}

void BM_Dump(benchmark::State& state) {
  const Value tree = model_tree();
  for (auto _ : state) benchmark::DoNotOptimize(platform::yaml::dump(tree));
}
BENCHMARK(BM_Dump)->Unit(benchmark::kMillisecond);

void BM_SafeLoad(benchmark::State& state) {
  const std::string text = platform::yaml::dump(model_tree());
  for (auto _ : state) benchmark::DoNotOptimize(platform::yaml::safe_load(text));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_SafeLoad)->Unit(benchmark::kMillisecond);

using orvane_semantic_agent::semantic_model::SemanticModel;

void BM_ToYaml(benchmark::State& state) {
  const auto model = SemanticModel::model_validate(model_tree());
  for (auto _ : state) benchmark::DoNotOptimize(model->to_yaml());
}
BENCHMARK(BM_ToYaml)->Unit(benchmark::kMillisecond);

void BM_FromYaml(benchmark::State& state) {
  const std::string text = SemanticModel::model_validate(model_tree())->to_yaml();
  for (auto _ : state) benchmark::DoNotOptimize(SemanticModel::from_yaml(text));
}
BENCHMARK(BM_FromYaml)->Unit(benchmark::kMillisecond);

void BM_ModelDumpJson(benchmark::State& state) {
  const auto model = SemanticModel::model_validate(model_tree());
  for (auto _ : state) benchmark::DoNotOptimize(model->model_dump_json(std::nullopt, true));
}
BENCHMARK(BM_ModelDumpJson)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--emit-yaml") == 0) {
    std::cout << platform::yaml::dump(model_tree());
    return 0;
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
