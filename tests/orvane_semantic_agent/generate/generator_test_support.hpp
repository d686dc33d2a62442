// What the generator tests share: a catalogue fixture built in code, a scripted LLM behind the
// module's traced completion, a capture of every log line, and a probe of the generator's steps.
//
//   GeneratorHarness harness;                       // tracer + scripted LLM in force
//   CatalogueFixture catalogue;
//   catalogue.dataset("orders", {key("ID", "NUMBER"), column("CUSTOMER_ID", "NUMBER")});
//   catalogue.query("q1", "SELECT * FROM orders o JOIN customers c ON o.customer_id = c.id",
//                   {"orders", "customers"});
//   harness.llm.on_relationship = [](const std::string& prompt) { return answer; };
//   SemanticModelGenerator generator(catalogue.client(), 30, {{urn("orders")}});
//   generator.build();
//   harness.logs.lines();                           // "info Registering logical table for ..."
#pragma once

#include <spdlog/sinks/ostream_sink.h>

#include <functional>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "orvane/sdk/main_client.hpp"
#include "orvane_semantic_agent/generate/generate.hpp"
#include "orvane_semantic_agent/generate/internal/module_state.hpp"
#include "platform/log/log.hpp"
#include "platform/tracing/tracer.hpp"
#include "platform/value/value.hpp"
#include "tests/fakes/catalogue/in_memory_graph.hpp"
#include "tests/platform/tracing/tracing_test_support.hpp"

namespace orvane_semantic_agent::generate {

using orvane::metadata::urns::DatasetUrn;
using platform::Value;

// The dataset URN text of a table of database "sales", schema "public" (lower case, as the SQL
// parser writes names).
std::string urn_text(const std::string& table);
DatasetUrn urn(const std::string& table);

struct FieldFixture {
  std::string path;
  std::string type;  // the catalogue's type name: NUMBER, STRING, DATE, TIME, ENUM, BOOLEAN, ...
  bool key = false;
  std::string native_type = "VARCHAR";
};
FieldFixture key(std::string path, std::string type = "NUMBER");
FieldFixture column(std::string path, std::string type = "STRING");

// A catalogue built in code, read through the in-memory graph. Clients made from it see every
// change, also one made after they were made.
class CatalogueFixture {
 public:
  CatalogueFixture();
  CatalogueFixture(const CatalogueFixture&) = delete;
  CatalogueFixture& operator=(const CatalogueFixture&) = delete;

  // A dataset "SALES.PUBLIC.<TABLE>" whose display name is the table's, with its popularity
  // (none: no usage aspect).
  void dataset(const std::string& table, const std::vector<FieldFixture>& fields,
               std::optional<double> popularity = std::nullopt);
  // Sets or replaces one entity's aspects exactly as given.
  void entity(const std::string& urn, Value::Map aspects);
  // A Snowflake query whose history entry lists `subject_tables` as dataset subjects; entries
  // come in the order added, most-run first.
  void query(const std::string& id, const std::string& sql,
             const std::vector<std::string>& subject_tables);
  // A raw query-history entry, as the catalogue would list it.
  void history_entry(Value entry);

  std::shared_ptr<orvane::sdk::InMemoryOrvaneGraph> graph();  // of the fixture as it is now
  orvane::sdk::OrvaneClient client() { return orvane::sdk::OrvaneClient(current_); }
  // The fixture as the JSON text the fake catalogue server reads.
  std::string json_text() const;

  // The catalogue operations asked so far, in the forms below.
  std::vector<std::string> requests();

 private:
  class CurrentGraph;
  Value fixture() const;
  void changed();

  Value::Map entities_;
  Value::List queries_;
  std::shared_ptr<orvane::sdk::InMemoryOrvaneGraph> graph_;
  std::vector<orvane::sdk::InMemoryOrvaneGraph::Request> earlier_requests_;
  std::shared_ptr<orvane::sdk::OrvaneGraph> current_;
};

// Catalogue requests as CatalogueFixture::requests() writes them.
std::string dataset_request(const std::string& table);  // the dataset entity read
std::string usage_request(const std::string& table);    // the usage aspect read
std::string list_queries_request(const std::string& table);
std::string query_request(const std::string& id);  // "entity urn:orvane:query:<id>"

// The text of the join group of two tables: "JoinedTables({DatasetUrn('...'), ...})".
std::string group_text(const std::string& a, const std::string& b);

// The LLM's answer as the provider gives it: one call of the tool `tool` with `arguments`.
Value tool_call_completion(const std::string& tool, const Value& arguments);

// A completion function that answers each question from a handler and keeps every request.
class ScriptedLlm {
 public:
  // Answer the primary key question (default: the table's first column) and the relationship
  // question (default: fails the test); each handler gets the user prompt.
  std::function<Value(const std::string& prompt)> on_primary_key;
  std::function<Value(const std::string& prompt)> on_relationship;

  platform::llm::CompletionFunction function();
  std::vector<Value> requests() const;
  std::vector<std::string> user_prompts() const;

 private:
  Value answer(const Value& request);

  mutable std::mutex mutex_;
  std::vector<Value> requests_;
};

// A relationship answer of the LLM.
Value relationship_answer(const std::string& left, const std::string& right,
                          const std::vector<std::pair<std::string, std::string>>& columns,
                          const std::string& relationship_type = "many_to_one",
                          const std::string& description = "joined",
                          const std::string& join_type = "left_outer");

// Every log line at debug and above while it lives, as "<level> <message>".
class LogCapture {
 public:
  LogCapture();
  ~LogCapture();
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  std::vector<std::string> lines() const;

 private:
  std::ostringstream text_;
  std::shared_ptr<spdlog::sinks::ostream_sink_mt> sink_;
};

// A tracer of its own, a scripted LLM in force as the module's completion, and a log capture.
struct GeneratorHarness {
  GeneratorHarness();

  tracing_test::Recorded recorded;
  platform::tracing::Tracer tracer;
  ScriptedLlm llm;
  internal::ScopedModuleTracing module;
  LogCapture logs;

  // The finished traces, once every one has been handed to the exporter.
  std::vector<platform::tracing::TraceRecord> traces();
};

// The generator's private steps, for tests that check one step alone.
struct GeneratorProbe {
  static std::vector<std::string> get_query_urns(SemanticModelGenerator& g, const DatasetUrn& u) {
    return g._get_query_urns(u);
  }
  static std::vector<SourcedJoinInfo> infer_joins_for_urn(SemanticModelGenerator& g,
                                                          const DatasetUrn& u) {
    return g._infer_joins_for_urn(u);
  }
  static std::shared_ptr<semantic_model::Relationship> infer_relationship(
      SemanticModelGenerator& g, const std::vector<SourcedJoinInfo>& joins) {
    return g._infer_relationship_from_joins(joins);
  }
  static double popularity(SemanticModelGenerator& g, const DatasetUrn& u) {
    return g._get_popularity(u);
  }
  static DatasetUrn pop(SemanticModelGenerator& g) { return g._pop_next_candidate(); }
  static bool has_next(SemanticModelGenerator& g) { return g._has_next_candidate(); }
  static void ensure_primary_keys(SemanticModelGenerator& g, semantic_model::LogicalTable& t) {
    g._ensure_primary_keys(t);
  }
  // Registers the table as the build loop does, without mining its joins.
  static void register_table(SemanticModelGenerator& g, const DatasetUrn& u) {
    g._registered_tables[u] = g.build_logical_table(u);
  }
  static void file_joins(SemanticModelGenerator& g, const std::vector<SourcedJoinInfo>& joins) {
    g.file_joins(joins);
  }
  static std::size_t candidates(const SemanticModelGenerator& g) {
    return g._candidate_tables.size();
  }
};

// The catalogue of a build from two start tables, "orders" and "customers", joined by a mined
// query, with "customers" lacking a key flag (the LLM names "ID") and "products" reached
// through a second query; the LLM's relationship to products names a column outside its key.
// Returns the SQL of the two queries.
std::pair<std::string, std::string> two_start_tables(CatalogueFixture& catalogue, ScriptedLlm& llm);
Value two_start_tables_relationship(const std::string& prompt);

// A mined join between two tables (URN texts), as the parser reports it.
SourcedJoinInfo sourced_join(const std::string& query_id, const std::string& sql,
                             std::vector<std::string> left, std::vector<std::string> right);

}  // namespace orvane_semantic_agent::generate
