#include "orvane/metadata/schema_classes.hpp"

#include <fmt/format.h>

#include <array>
#include <functional>

#include "platform/errors/errors.hpp"

namespace orvane::metadata::schema_classes {
namespace {

struct TypeEntry {
  std::string_view name;
  std::shared_ptr<const SchemaTypeClass> (*make)();
};

template <typename Type>
std::shared_ptr<const SchemaTypeClass> make() {
  return std::make_shared<const Type>();
}

template <typename... Types>
constexpr std::array<TypeEntry, sizeof...(Types)> entries() {
  return {TypeEntry{Types::TYPE_NAME, &make<Types>}...};
}

constexpr auto kTypes =
    entries<BooleanTypeClass, FixedTypeClass, StringTypeClass, BytesTypeClass, NumberTypeClass,
            DateTypeClass, TimeTypeClass, EnumTypeClass, NullTypeClass, MapTypeClass,
            ArrayTypeClass, UnionTypeClass, RecordTypeClass>();

}  // namespace

std::shared_ptr<const SchemaTypeClass> make_schema_type(std::string_view type_name) {
  for (const TypeEntry& entry : kTypes) {
    if (entry.name == type_name) return entry.make();
  }
  std::string known;
  for (const TypeEntry& entry : kTypes) {
    known += known.empty() ? "" : ", ";
    known += entry.name;
  }
  throw platform::ValueError(
      fmt::format("Unknown schema field type \"{}\" (known: {})", type_name, known));
}

}  // namespace orvane::metadata::schema_classes
