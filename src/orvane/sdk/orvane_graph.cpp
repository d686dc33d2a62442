#include "orvane/sdk/orvane_graph.hpp"

#include <fmt/format.h>

#include "orvane/sdk/internal/answer_reader.hpp"
#include "orvane/sdk/internal/entity_operation.hpp"

namespace orvane::sdk {

using platform::Value;

EntityAspects OrvaneGraph::get_entity_semityped(const std::string& urn) {
  std::optional<EntityAspects> aspects = get_entity_aspects(urn, {});
  return aspects ? std::move(*aspects) : EntityAspects(urn, {});
}

std::optional<EntityAspects> OrvaneGraph::get_entity_aspects(
    const std::string& urn, const std::vector<std::string_view>& names) {
  Value::Map variables{{"urn", urn}};
  if (!names.empty()) {
    Value::List wanted(names.begin(), names.end());
    variables.emplace_back("aspects", std::move(wanted));
  }
  const Value data = execute_graphql(std::string(internal::kEntityAspectsQuery), variables);
  const Value* entity = internal::optional_field(data, "entity", "entity answer");
  if (entity == nullptr) return std::nullopt;

  const std::string where = fmt::format("entity {}", urn);
  Value::Map aspects;
  const Value* listed = internal::optional_field(*entity, "aspects", where);
  if (listed == nullptr) return EntityAspects(urn, {});
  const Value::List& list = internal::as_list(*listed, where + ": field \"aspects\"");
  for (std::size_t i = 0; i < list.size(); ++i) {
    const std::string place = fmt::format("{}: aspects[{}]", where, i);
    std::string name = internal::required_text(list[i], "name", place);
    const Value* value = internal::optional_field(list[i], "value", place);
    aspects.emplace_back(std::move(name), value == nullptr ? Value() : *value);
  }
  return EntityAspects(urn, std::move(aspects));
}

}  // namespace orvane::sdk
