#include "platform/llm/type_spec.hpp"

#include <gtest/gtest.h>

#include "platform/errors/errors.hpp"
#include "platform/json/json_writer.hpp"
#include "tests/support/expect_throw.hpp"

namespace platform::llm {
namespace {

// The shape of the join answer: enums, a nested record list, texts.
TypeSpec join_answer() {
  const TypeSpec column =
      TypeSpec::record("RelationshipColumn",
                       {{"left_column", TypeSpec::text()}, {"right_column", TypeSpec::text()}});
  return TypeSpec::record("JoinRelationship",
                          {{"description", TypeSpec::text()},
                           {"relationship_type", TypeSpec::one_of({"many_to_one", "one_to_one"})},
                           {"join_type", TypeSpec::one_of({"left_outer", "inner"})},
                           {"relationship_columns", TypeSpec::list_of(column)}});
}

TEST(JsonSchema, NestedRecordsAreDefinedOnceAndReferenced) {
  EXPECT_EQ(
      json::write(json_schema(join_answer())),
      R"({"$defs":{"RelationshipColumn":{"properties":{"left_column":{"title":"Left Column","type":"string"},)"
      R"("right_column":{"title":"Right Column","type":"string"}},"required":["left_column","right_column"],)"
      R"("title":"RelationshipColumn","type":"object"}},"properties":{"description":{"title":"Description",)"
      R"("type":"string"},"relationship_type":{"enum":["many_to_one","one_to_one"],"title":"Relationship Type",)"
      R"("type":"string"},"join_type":{"enum":["left_outer","inner"],"title":"Join Type","type":"string"},)"
      R"("relationship_columns":{"items":{"$ref":"#/$defs/RelationshipColumn"},"title":"Relationship Columns",)"
      R"("type":"array"}},"required":["description","relationship_type","join_type","relationship_columns"],)"
      R"("title":"JoinRelationship","type":"object"})");
}

TEST(JsonSchema, OptionalFieldsAllowNullAndScalarsHaveTheirTypes) {
  const TypeSpec record = TypeSpec::record("R", {{"count", TypeSpec::integer()},
                                                 {"note", TypeSpec::text(), false},
                                                 {"ratio", TypeSpec::number()},
                                                 {"flag", TypeSpec::boolean()}});
  EXPECT_EQ(
      json::write(json_schema(record)),
      R"({"properties":{"count":{"title":"Count","type":"integer"},)"
      R"("note":{"anyOf":[{"type":"string"},{"type":"null"}],"default":null,"title":"Note"},)"
      R"("ratio":{"title":"Ratio","type":"number"},"flag":{"title":"Flag","type":"boolean"}},)"
      R"("required":["count","ratio","flag"],"title":"R","type":"object"})");
}

TEST(ValidateAnswer, KeepsDeclaredFieldsInOrderAndDropsUnknownKeys) {
  const Value answer =
      Value::Map{{"extra", 1},
                 {"relationship_columns",
                  Value::List{Value::Map{{"right_column", "id"}, {"left_column", "customer_id"}}}},
                 {"join_type", "inner"},
                 {"relationship_type", "many_to_one"},
                 {"description", "Each order has one customer"}};
  EXPECT_EQ(json::write(validate_answer(join_answer(), answer)),
            R"({"description":"Each order has one customer","relationship_type":"many_to_one",)"
            R"("join_type":"inner","relationship_columns":[{"left_column":"customer_id",)"
            R"("right_column":"id"}]})");
}

TEST(ValidateAnswer, ListsEveryFailureWithItsLocation) {
  const Value answer =
      Value::Map{{"description", 5},
                 {"relationship_type", "Many_To_One"},
                 {"join_type", "left_outer"},
                 {"relationship_columns", Value::List{Value::Map{{"left_column", "a"}}, "b"}}};
  EXPECT_THROW_MSG(validate_answer(join_answer(), answer), ValidationError,
                   "4 validation errors for JoinRelationship\n"
                   "description\n  Input should be a valid string [input_value=5, input_type=int]\n"
                   "relationship_type\n  Input should be 'many_to_one' or 'one_to_one' "
                   "[input_value=\"Many_To_One\", input_type=str]\n"
                   "relationship_columns.0.right_column\n  Field required\n"
                   "relationship_columns.1\n  Input should be a valid dictionary or instance of "
                   "RelationshipColumn [input_value=\"b\", input_type=str]");
}

TEST(ValidateAnswer, ScalarsAndOptionalFields) {
  const TypeSpec record =
      TypeSpec::record("R", {{"count", TypeSpec::integer()}, {"note", TypeSpec::text(), false}});
  EXPECT_EQ(json::write(validate_answer(record, Value::Map{{"count", 3.0}})),
            R"({"count":3,"note":null})");
  EXPECT_THROW_MSG(validate_answer(record, Value::Map{{"count", 3.5}, {"note", true}}),
                   ValidationError,
                   "2 validation errors for R\n"
                   "count\n  Input should be a valid integer [input_value=3.5, input_type=float]\n"
                   "note\n  Input should be a valid string [input_value=true, input_type=bool]");
  EXPECT_THROW_MSG(validate_answer(record, Value::List{}), ValidationError,
                   "1 validation error for R\n  Input should be a valid dictionary or instance "
                   "of R [input_value=[], input_type=list]");
}

}  // namespace
}  // namespace platform::llm
