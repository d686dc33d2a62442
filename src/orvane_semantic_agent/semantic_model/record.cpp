#include "orvane_semantic_agent/semantic_model/record.hpp"

#include <type_traits>

#include "orvane_semantic_agent/semantic_model/internal/value_node.hpp"
#include "orvane_semantic_agent/semantic_model/record_validation.hpp"
#include "orvane_semantic_agent/semantic_model/semantic_model.hpp"
#include "platform/json/json_writer.hpp"

namespace orvane_semantic_agent::semantic_model {
namespace validation {

std::string one_of_text(std::span<const std::string_view> allowed) {
  std::string text = "one of ";
  for (std::size_t i = 0; i < allowed.size(); ++i) {
    if (i > 0) text += ", ";
    text += "'" + std::string(allowed[i]) + "'";
  }
  return text;
}

}  // namespace validation

namespace {

// Values of any kind in their JSON-compatible form: dates and date-times become ISO text.
platform::Value json_compatible(const platform::Value& value) {
  if (value.is_date()) return platform::json::iso_text(value.as_date());
  if (value.is_datetime()) return platform::json::iso_text(value.as_datetime());
  if (value.is_list()) {
    platform::Value::List list;
    list.reserve(value.as_list().size());
    for (const platform::Value& element : value.as_list()) list.push_back(json_compatible(element));
    return list;
  }
  if (value.is_map()) {
    platform::Value::Map map;
    map.reserve(value.as_map().size());
    for (const auto& [key, element] : value.as_map())
      map.emplace_back(key, json_compatible(element));
    return map;
  }
  return value;
}

template <typename T>
bool is_null(const T& member) {
  if constexpr (validation::IsSharedRecord<T>::value) {
    return member == nullptr;
  } else if constexpr (std::is_same_v<T, validation::Stored<T>>) {
    return false;
  } else {
    return !member.has_value();
  }
}

template <typename T>
platform::Value dump_member(const T& member, bool exclude_defaults) {
  if constexpr (!std::is_same_v<T, validation::Stored<T>>) {
    return member ? dump_member(*member, exclude_defaults) : platform::Value();
  } else if constexpr (std::is_same_v<T, std::string> || std::is_same_v<T, bool>) {
    return member;
  } else if constexpr (std::is_same_v<T, platform::Value>) {
    return json_compatible(member);
  } else if constexpr (validation::IsSharedRecord<T>::value) {
    return member ? member->model_dump(exclude_defaults) : platform::Value();
  } else {
    platform::Value::List list;
    list.reserve(member.size());
    for (const auto& element : member) list.push_back(dump_member(element, exclude_defaults));
    return list;
  }
}

}  // namespace

template <typename Self>
std::shared_ptr<Self> Record<Self>::model_validate(const platform::Value& value) {
  return validation::validate<Self>(internal::ValueNode(value));
}

template <typename Self>
platform::Value Record<Self>::model_dump(bool exclude_defaults) const {
  const Self& self = static_cast<const Self&>(*this);
  platform::Value::Map map;
  std::apply(
      [&](const auto&... field) {
        const auto dump_field = [&](const auto& one) {
          const auto& member = self.*one.member;
          if (exclude_defaults && !one.required() && is_null(member)) return;
          map.emplace_back(std::string(one.key), dump_member(member, exclude_defaults));
        };
        (dump_field(field), ...);
      },
      Self::fields());
  return map;
}

template <typename Self>
std::string Record<Self>::model_dump_json(std::optional<int> indent, bool exclude_defaults) const {
  return platform::json::write(model_dump(exclude_defaults), indent);
}

template <typename RecordType>
std::string model_dump_json(const std::vector<std::shared_ptr<RecordType>>& records,
                            std::optional<int> indent, bool exclude_defaults) {
  return platform::json::write(dump_member(records, exclude_defaults), indent);
}

#define OSA_INSTANTIATE_RECORD(Name)                                              \
  template struct Record<Name>;                                                   \
  template std::string model_dump_json(const std::vector<std::shared_ptr<Name>>&, \
                                       std::optional<int>, bool);

OSA_INSTANTIATE_RECORD(BaseTable)
OSA_INSTANTIATE_RECORD(PrimaryKey)
OSA_INSTANTIATE_RECORD(CortexSearchService)
OSA_INSTANTIATE_RECORD(Dimension)
OSA_INSTANTIATE_RECORD(TimeDimension)
OSA_INSTANTIATE_RECORD(Fact)
OSA_INSTANTIATE_RECORD(Filter)
OSA_INSTANTIATE_RECORD(Metric)
OSA_INSTANTIATE_RECORD(RelationshipColumn)
OSA_INSTANTIATE_RECORD(Relationship)
OSA_INSTANTIATE_RECORD(LogicalTable)
OSA_INSTANTIATE_RECORD(SemanticModel)

#undef OSA_INSTANTIATE_RECORD

}  // namespace orvane_semantic_agent::semantic_model
