#include "tests/orvane_semantic_agent/generate/generator_test_support.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

#include "platform/json/json_writer.hpp"
#include "platform/json/ordered_json.hpp"

namespace orvane_semantic_agent::generate {
namespace {

std::string upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

std::string user_prompt_of(const Value& request) {
  const Value::List& messages = request.find("messages")->as_list();
  return messages.at(1).find("content")->as_string();
}

// The first column named in the primary key prompt's JSON table.
Value first_column_of(const std::string& prompt) {
  const std::string marker = "\"name\": \"";
  std::size_t at = prompt.find(marker, prompt.find("\"dimensions\""));
  if (at == std::string::npos) return Value::List{};
  at += marker.size();
  return Value::List{prompt.substr(at, prompt.find('"', at) - at)};
}

}  // namespace

std::string urn_text(const std::string& table) {
  return "urn:orvane:dataset:(urn:orvane:dataPlatform:snowflake,sales.public." + table + ",PROD)";
}

DatasetUrn urn(const std::string& table) { return DatasetUrn::from_string(urn_text(table)); }

FieldFixture key(std::string path, std::string type) {
  return {.path = std::move(path), .type = std::move(type), .key = true};
}
FieldFixture column(std::string path, std::string type) {
  return {.path = std::move(path), .type = std::move(type)};
}

// Answers from the fixture's graph of the moment.
class CatalogueFixture::CurrentGraph : public orvane::sdk::OrvaneGraph {
 public:
  explicit CurrentGraph(CatalogueFixture& fixture) : fixture_(fixture) {}
  Value execute_graphql(const std::string& query, const Value& variables) override {
    return fixture_.graph()->execute_graphql(query, variables);
  }

 private:
  CatalogueFixture& fixture_;
};

CatalogueFixture::CatalogueFixture() : current_(std::make_shared<CurrentGraph>(*this)) {}

void CatalogueFixture::changed() {
  if (!graph_) return;
  for (auto& request : graph_->requests()) earlier_requests_.push_back(std::move(request));
  graph_.reset();
}

void CatalogueFixture::dataset(const std::string& table, const std::vector<FieldFixture>& fields,
                               std::optional<double> popularity) {
  Value::List field_values;
  for (const FieldFixture& field : fields) {
    field_values.push_back(Value::Map{{"fieldPath", field.path},
                                      {"nativeDataType", field.native_type},
                                      {"type", field.type},
                                      {"isPartOfKey", field.key}});
  }
  Value::Map aspects{
      {"datasetProperties",
       Value::Map{{"name", table}, {"qualifiedName", "SALES.PUBLIC." + upper(table)}}},
      {"schemaMetadata", Value::Map{{"fields", std::move(field_values)}}}};
  if (popularity) {
    aspects.emplace_back("usageFeatures",
                         Value::Map{{"queryCountPercentileLast30Days", *popularity}});
  }
  entity(urn_text(table), std::move(aspects));
}

void CatalogueFixture::entity(const std::string& urn, Value::Map aspects) {
  changed();
  for (auto& [name, value] : entities_) {
    if (name == urn) {
      value = std::move(aspects);
      return;
    }
  }
  entities_.emplace_back(urn, std::move(aspects));
}

void CatalogueFixture::query(const std::string& id, const std::string& sql,
                             const std::vector<std::string>& subject_tables) {
  const std::string query_urn = "urn:orvane:query:" + id;
  entity(query_urn,
         Value::Map{{"queryProperties", Value::Map{{"statement", Value::Map{{"value", sql}}}}},
                    {"dataPlatformInstance",
                     Value::Map{{"platform", "urn:orvane:dataPlatform:snowflake"}}}});
  Value::List subjects;
  for (const std::string& table : subject_tables) {
    subjects.push_back(
        Value::Map{{"dataset", Value::Map{{"urn", urn_text(table)}}}, {"schemaField", nullptr}});
  }
  history_entry(Value::Map{{"urn", query_urn}, {"source", "SYSTEM"}, {"subjects", subjects}});
}

void CatalogueFixture::history_entry(Value entry) {
  changed();
  // Most-run first: the catalogue sorts by this number, descending.
  entry.set("runsPercentileLast30days", 100.0 - static_cast<double>(queries_.size()) / 1000);
  queries_.push_back(std::move(entry));
}

Value CatalogueFixture::fixture() const {
  return Value::Map{{"entities", entities_}, {"queries", queries_}};
}

std::shared_ptr<orvane::sdk::InMemoryOrvaneGraph> CatalogueFixture::graph() {
  if (!graph_) graph_ = std::make_shared<orvane::sdk::InMemoryOrvaneGraph>(fixture());
  return graph_;
}

std::string CatalogueFixture::json_text() const { return platform::json::write(fixture()); }

std::vector<std::string> CatalogueFixture::requests() {
  std::vector<orvane::sdk::InMemoryOrvaneGraph::Request> all = earlier_requests_;
  for (auto& request : graph()->requests()) all.push_back(std::move(request));
  std::vector<std::string> lines;
  for (const auto& request : all) {
    std::string line = request.operation;
    if (request.operation == "entity") {
      line += " " + request.variables.find("urn")->as_string();
      if (const Value* aspects = request.variables.find("aspects")) {
        line += " " + platform::json::write(*aspects);
      }
    } else {
      line += " " + platform::json::write(request.variables);
    }
    lines.push_back(std::move(line));
  }
  return lines;
}

std::string dataset_request(const std::string& table) {
  return "entity " + urn_text(table) + R"( ["datasetProperties","schemaMetadata"])";
}

std::string usage_request(const std::string& table) {
  return "entity " + urn_text(table) + R"( ["usageFeatures"])";
}

std::string list_queries_request(const std::string& table) {
  return "listQueries "
         R"({"input":{"start":0,"count":100,"source":"SYSTEM","sortInput":{"sortCriterion":)"
         R"({"field":"runsPercentileLast30days","sortOrder":"DESCENDING"}},"orFilters":)"
         R"([{"and":[{"field":"entities","values":[")" +
         urn_text(table) + R"("]}]}]}})";
}

std::string query_request(const std::string& id) { return "entity urn:orvane:query:" + id; }

std::string group_text(const std::string& a, const std::string& b) {
  return "JoinedTables({DatasetUrn('" + urn_text(a) + "'), DatasetUrn('" + urn_text(b) + "')})";
}

Value tool_call_completion(const std::string& tool, const Value& arguments) {
  const Value call = Value::Map{
      {"id", "call_1"},
      {"type", "function"},
      {"function", Value::Map{{"name", tool}, {"arguments", platform::json::write(arguments)}}}};
  return Value::Map{
      {"id", "chatcmpl-1"},
      {"object", "chat.completion"},
      {"choices", Value::List{Value::Map{{"index", 0},
                                         {"message", Value::Map{{"role", "assistant"},
                                                                {"content", nullptr},
                                                                {"tool_calls", Value::List{call}}}},
                                         {"finish_reason", "tool_calls"}}}}};
}

platform::llm::CompletionFunction ScriptedLlm::function() {
  return [this](const Value& request) { return answer(request); };
}

Value ScriptedLlm::answer(const Value& request) {
  {
    std::lock_guard lock(mutex_);
    requests_.push_back(request);
  }
  const std::string prompt = user_prompt_of(request);
  if (prompt.find("<logical_table>") != std::string::npos) {
    const Value columns = on_primary_key ? on_primary_key(prompt) : first_column_of(prompt);
    return tool_call_completion("Response", Value::Map{{"content", columns}});
  }
  if (!on_relationship) {
    ADD_FAILURE() << "unexpected relationship question:\n" << prompt;
    throw platform::RuntimeError("no relationship answer scripted");
  }
  return tool_call_completion("JoinRelationship", on_relationship(prompt));
}

std::vector<Value> ScriptedLlm::requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

std::vector<std::string> ScriptedLlm::user_prompts() const {
  std::vector<std::string> prompts;
  for (const Value& request : requests()) prompts.push_back(user_prompt_of(request));
  return prompts;
}

Value relationship_answer(const std::string& left, const std::string& right,
                          const std::vector<std::pair<std::string, std::string>>& columns,
                          const std::string& relationship_type, const std::string& description,
                          const std::string& join_type) {
  Value::List pairs;
  for (const auto& [left_column, right_column] : columns) {
    pairs.push_back(Value::Map{{"left_column", left_column}, {"right_column", right_column}});
  }
  return Value::Map{{"description", description}, {"relationship_type", relationship_type},
                    {"join_type", join_type},     {"left_table", left},
                    {"right_table", right},       {"relationship_columns", std::move(pairs)}};
}

LogCapture::LogCapture() : sink_(std::make_shared<spdlog::sinks::ostream_sink_mt>(text_)) {
  sink_->set_level(spdlog::level::debug);
  sink_->set_pattern("%l %v");
  platform::log::logger()->sinks().push_back(sink_);
}

LogCapture::~LogCapture() {
  auto& sinks = platform::log::logger()->sinks();
  sinks.erase(std::remove(sinks.begin(), sinks.end(), sink_), sinks.end());
}

std::vector<std::string> LogCapture::lines() const {
  std::vector<std::string> result;
  std::istringstream in(text_.str());
  for (std::string line; std::getline(in, line);) result.push_back(line);
  return result;
}

GeneratorHarness::GeneratorHarness()
    : tracer(std::make_unique<tracing_test::RecordingExporter>(recorded)),
      module(tracer, llm.function()) {}

std::vector<platform::tracing::TraceRecord> GeneratorHarness::traces() {
  tracer.flush();
  std::lock_guard lock(recorded.mutex);
  return recorded.traces;
}

Value two_start_tables_relationship(const std::string& prompt) {
  if (prompt.find("\"name\":\"products\"") != std::string::npos) {
    return relationship_answer("orders", "products", {{"PRODUCT_ID", "SKU"}});
  }
  return relationship_answer("orders", "customers", {{"CUSTOMER_ID", "ID"}}, "many_to_one",
                             "Each order has one customer");
}

std::pair<std::string, std::string> two_start_tables(CatalogueFixture& catalogue,
                                                     ScriptedLlm& llm) {
  catalogue.dataset("orders", {key("ID"), column("CUSTOMER_ID", "NUMBER"), column("PRODUCT_ID")});
  catalogue.dataset("customers", {column("ID", "NUMBER"), column("NAME")});
  catalogue.dataset("products", {key("ID"), column("SKU")}, 50);
  const std::string q1 = "SELECT * FROM orders o JOIN customers c ON o.customer_id = c.id";
  const std::string q2 = "SELECT * FROM orders o LEFT JOIN products p ON o.product_id = p.id";
  catalogue.query("q1", q1, {"orders", "customers"});
  catalogue.query("q2", q2, {"orders", "products"});
  llm.on_primary_key = [](const std::string&) { return Value::List{"ID"}; };
  llm.on_relationship = two_start_tables_relationship;
  return {q1, q2};
}

SourcedJoinInfo sourced_join(const std::string& query_id, const std::string& sql,
                             std::vector<std::string> left, std::vector<std::string> right) {
  orvane::sql_parsing::JoinInfo join;
  join.join_type = "INNER";
  join.left_tables = std::move(left);
  join.right_tables = std::move(right);
  return {orvane::metadata::urns::QueryUrn(query_id), sql, std::move(join)};
}

}  // namespace orvane_semantic_agent::generate
