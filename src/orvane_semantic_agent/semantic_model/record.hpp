// The machinery every semantic model record shares: a field table and the operations derived
// from it.
//
// A record is a plain aggregate struct that derives from `Record<Self>` and lists its fields
// once, in declaration order, in `static constexpr auto fields()`. Validation (`model_validate`),
// the dump (`model_dump`), the JSON text (`model_dump_json`) and the Python binding are all
// derived from that table, so no record has code of its own for them.
//
//   struct PrimaryKey : Record<PrimaryKey> {
//     std::vector<std::string> columns;
//     static constexpr std::string_view kRecordName = "PrimaryKey";
//     static constexpr auto fields() {
//       return std::tuple{field("columns", &PrimaryKey::columns, kRequired)};
//     }
//   };
//
// Field types and what they accept: `std::string` (text only), `bool` (a boolean only; 0, 1 and
// texts such as "true" are refused), `std::vector<std::string>` (a list of texts),
// `platform::Value::List` (a list of values of any kind, kept unchanged),
// `std::shared_ptr<R>` (a record R, or a map validated into a new R), `std::vector<...>` of those,
// and `std::optional<...>` of any of them for an optional scalar or list. A nested record field
// is a `std::shared_ptr` whether required or optional; null stands for an absent optional record.
// Records passed in are shared, never copied.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "platform/value/value.hpp"

namespace orvane_semantic_agent::semantic_model {

enum class Presence { kRequired, kOptional };
inline constexpr Presence kRequired = Presence::kRequired;
inline constexpr Presence kOptional = Presence::kOptional;

// One row of a record's field table.
template <typename RecordType, typename Member>
struct Field {
  using Record = RecordType;
  using Type = Member;
  // The field's own name: how it is read and assigned (in C++ and Python).
  std::string_view name;
  // The key it is read from in a map and written under in every dump.
  std::string_view key;
  Member RecordType::*member;
  Presence presence;
  // For a text field that takes only these exact texts; empty for any text.
  std::span<const std::string_view> allowed;

  bool required() const { return presence == Presence::kRequired; }
};

template <typename RecordType, typename Member>
constexpr Field<RecordType, Member> field(std::string_view name, Member RecordType::*member,
                                          Presence presence, std::string_view key = {},
                                          std::span<const std::string_view> allowed = {}) {
  return {name, key.empty() ? name : key, member, presence, allowed};
}

// The operations every record has; `Self` is the record type itself.
template <typename Self>
struct Record {
  // Builds a record tree from a map (a parsed YAML or JSON document). Every failure of the whole
  // tree is gathered first; then one platform::ValidationError names the record, the number of
  // failures and, per failure, its location (e.g. "tables.0.base_table"), reason and value. Keys
  // that name no field are dropped. Nothing is returned on failure.
  static std::shared_ptr<Self> model_validate(const platform::Value& value);

  // The dump in JSON mode: a map per record with keys in field order; dates and date-times inside
  // `sample_values` become ISO text. With `exclude_defaults`, optional fields whose value is null
  // are left out at every depth (never anything inside `sample_values`). Never throws.
  platform::Value model_dump(bool exclude_defaults = false) const;

  // The dump written as JSON: compact without `indent`, indented by `indent` spaces with it
  // (see platform/json/json_writer.hpp). Never throws.
  std::string model_dump_json(std::optional<int> indent = std::nullopt,
                              bool exclude_defaults = false) const;
};

// The JSON text of a list of records, written by the same rules as one record's, e.g. the
// compact full form of a list of logical tables.
template <typename RecordType>
std::string model_dump_json(const std::vector<std::shared_ptr<RecordType>>& records,
                            std::optional<int> indent = std::nullopt,
                            bool exclude_defaults = false);

}  // namespace orvane_semantic_agent::semantic_model
