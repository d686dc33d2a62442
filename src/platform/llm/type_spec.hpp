// `TypeSpec`: the one description of an answer type that the structured-output client asks for.
//
// An answer type is described once, as data: texts (optionally limited to exact allowed texts),
// integers, numbers, booleans, lists of a type, and records with named fields that are required
// or optional. From that description the client derives both the JSON Schema it sends to the
// model (json_schema) and the check of the model's answer (validate_answer), so the two never
// disagree.
//
//   using platform::llm::TypeSpec;
//   const TypeSpec kRelationshipColumn = TypeSpec::record(
//       "RelationshipColumn", {{"left_column", TypeSpec::text()},
//                              {"right_column", TypeSpec::text()}});
//   const TypeSpec kAnswer = TypeSpec::record(
//       "JoinRelationship",
//       {{"join_type", TypeSpec::one_of({"left_outer", "inner"})},
//        {"relationship_columns", TypeSpec::list_of(kRelationshipColumn)}});
//
// Values are immutable after construction and safe to share between threads.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/value/value.hpp"

namespace platform::llm {

class TypeSpec;

struct FieldSpec {
  std::string name;
  std::shared_ptr<const TypeSpec> type;
  bool required = true;

  FieldSpec(std::string field_name, TypeSpec field_type, bool is_required = true);
};

class TypeSpec {
 public:
  enum class Kind { kText, kInteger, kNumber, kBoolean, kList, kRecord };

  static TypeSpec text();
  // A text that must equal one of `allowed` exactly (case and spacing included).
  static TypeSpec one_of(std::vector<std::string> allowed);
  static TypeSpec integer();
  static TypeSpec number();
  static TypeSpec boolean();
  static TypeSpec list_of(TypeSpec element);
  // A record: `name` titles it in the schema and in error texts; fields keep their order.
  static TypeSpec record(std::string name, std::vector<FieldSpec> fields);

  Kind kind() const { return kind_; }
  const std::vector<std::string>& allowed() const { return allowed_; }
  const TypeSpec& element() const { return *element_; }
  const std::string& name() const { return name_; }
  const std::vector<FieldSpec>& fields() const { return fields_; }

 private:
  Kind kind_ = Kind::kText;
  std::vector<std::string> allowed_;
  std::shared_ptr<const TypeSpec> element_;
  std::string name_;
  std::vector<FieldSpec> fields_;
};

// The JSON Schema of a type, in the layout of the usual Python record library: a record is an
// object with "properties" (each with a "title" made from the field name), "required" and
// "title"; nested records are written once under "$defs" and referred to with "$ref".
Value json_schema(const TypeSpec& type);

// Checks `answer` against `type`. Returns the answer reduced to the declared fields, in declared
// order (unknown keys dropped, absent optional fields null), or throws platform::ValidationError
// whose text lists every failure with its location, e.g.
//   2 validation errors for JoinRelationship
//   join_type
//     Input should be 'left_outer' or 'inner' [input_value='outer']
//   relationship_columns.0.right_column
//     Field required
Value validate_answer(const TypeSpec& type, const Value& answer);

}  // namespace platform::llm
