#include "tests/fakes/catalogue/in_memory_graph.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "orvane/metadata/urns.hpp"
#include "orvane/sdk/graphql_error.hpp"
#include "orvane/sdk/internal/graphql_text.hpp"
#include "platform/errors/errors.hpp"
#include "platform/json/ordered_json.hpp"
#include "tests/fakes/catalogue/internal/catalogue_schema.hpp"
#include "tests/fakes/catalogue/internal/list_queries.hpp"
#include "tests/fakes/catalogue/internal/selection_set.hpp"

namespace orvane::sdk {
namespace {

using platform::Value;

[[noreturn]] void fail_fixture(const std::string& problem) {
  throw platform::ValueError("Invalid catalogue fixture: " + problem);
}

[[noreturn]] void fail_graphql(std::string message) { throw GraphQLError({std::move(message)}); }

const Value* variable(const Value& variables, std::string_view name) {
  const Value* value = variables.is_map() ? variables.find(name) : nullptr;
  return value == nullptr || value->is_null() ? nullptr : value;
}

}  // namespace

InMemoryOrvaneGraph::InMemoryOrvaneGraph(const Value& fixture) {
  if (!fixture.is_map()) fail_fixture("the top level must be an object");
  if (const Value* entities = fixture.find("entities")) {
    if (!entities->is_map()) fail_fixture("\"entities\" must be an object of urn to aspects");
    for (const auto& [urn, aspects] : entities->as_map()) {
      try {
        metadata::urns::Urn::from_string(urn);
      } catch (const platform::ValueError& error) {
        fail_fixture(error.what());
      }
      if (!aspects.is_map()) fail_fixture(fmt::format("the aspects of {} must be an object", urn));
      entities_[urn] = aspects.as_map();
    }
  }
  if (const Value* queries = fixture.find("queries")) {
    if (!queries->is_list()) fail_fixture("\"queries\" must be a list");
    for (std::size_t i = 0; i < queries->as_list().size(); ++i) {
      const Value& entry = queries->as_list()[i];
      const Value* urn = entry.find("urn");
      const Value* subjects = entry.find("subjects");
      if (urn == nullptr || !urn->is_string() || subjects == nullptr || !subjects->is_list()) {
        fail_fixture(fmt::format("queries[{}] needs a text \"urn\" and a list \"subjects\"", i));
      }
    }
    queries_ = queries->as_list();
  }
}

std::shared_ptr<InMemoryOrvaneGraph> InMemoryOrvaneGraph::from_json_text(const std::string& text) {
  const auto json = nlohmann::ordered_json::parse(text, nullptr, /*allow_exceptions=*/false);
  if (json.is_discarded()) fail_fixture("not valid JSON");
  return std::make_shared<InMemoryOrvaneGraph>(platform::json::from_ordered_json(json));
}

std::shared_ptr<InMemoryOrvaneGraph> InMemoryOrvaneGraph::from_file(
    const std::filesystem::path& path) {
  std::ifstream file(path);
  if (!file) fail_fixture(fmt::format("cannot read {}", path.string()));
  std::stringstream text;
  text << file.rdbuf();
  return from_json_text(text.str());
}

Value InMemoryOrvaneGraph::execute_graphql(const std::string& query, const Value& variables) {
  const std::optional<std::string> operation = internal::root_field(query);
  if (!operation) fail_graphql("Syntax Error: the document has no selection set.");
  {
    std::lock_guard lock(requests_mutex_);
    requests_.push_back({*operation, variables});
  }
  try {
    internal::check_selection(internal::operation_selection(query));
  } catch (const platform::ValueError& error) {
    fail_graphql(error.what());
  }
  if (*operation == "entity") return answer_entity(variables);
  if (*operation == "listQueries") return answer_list_queries(variables);
  fail_graphql(fmt::format("Cannot query field \"{}\" on type \"Query\".", *operation));
}

std::vector<InMemoryOrvaneGraph::Request> InMemoryOrvaneGraph::requests() const {
  std::lock_guard lock(requests_mutex_);
  return requests_;
}

Value InMemoryOrvaneGraph::answer_entity(const Value& variables) const {
  const Value* urn = variable(variables, "urn");
  if (urn == nullptr || !urn->is_string()) {
    fail_graphql("Variable \"$urn\" of required type \"String!\" was not provided.");
  }
  const auto found = entities_.find(urn->as_string());
  if (found == entities_.end()) return Value::Map{{"entity", nullptr}};

  const Value* wanted = variable(variables, "aspects");
  if (wanted != nullptr && !wanted->is_list()) {
    fail_graphql("Variable \"$aspects\" of type \"[String!]\" must be a list of texts.");
  }
  Value::List aspects;
  for (const auto& [name, value] : found->second) {
    const bool selected =
        wanted == nullptr || std::find(wanted->as_list().begin(), wanted->as_list().end(),
                                       Value(name)) != wanted->as_list().end();
    if (selected) aspects.push_back(Value::Map{{"name", name}, {"value", value}});
  }
  return Value::Map{
      {"entity", Value::Map{{"urn", urn->as_string()}, {"aspects", std::move(aspects)}}}};
}

Value InMemoryOrvaneGraph::answer_list_queries(const Value& variables) const {
  const Value* input = variable(variables, "input");
  if (input == nullptr || !input->is_map()) {
    fail_graphql("Variable \"$input\" of required type \"ListQueriesInput!\" was not provided.");
  }
  try {
    return Value::Map{{"listQueries", internal::list_queries(queries_, *input)}};
  } catch (const platform::ValueError& error) {
    fail_graphql(fmt::format("Variable \"$input\" got an invalid value: {}", error.what()));
  }
}

}  // namespace orvane::sdk
