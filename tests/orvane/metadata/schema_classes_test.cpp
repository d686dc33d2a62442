#include <gtest/gtest.h>

#include "orvane/metadata/schema_classes.hpp"
#include "platform/errors/errors.hpp"
#include "tests/support/expect_throw.hpp"

namespace {

namespace models = orvane::metadata::schema_classes;

TEST(SchemaTypes, EachWireNameMakesAnInstanceOfExactlyItsClass) {
  const auto number = models::make_schema_type("NUMBER");
  EXPECT_TRUE(number->is<models::NumberTypeClass>());
  EXPECT_FALSE(number->is<models::TimeTypeClass>());
  EXPECT_FALSE(number->is<models::EnumTypeClass>());
  EXPECT_TRUE(models::make_schema_type("BOOLEAN")->is<models::BooleanTypeClass>());
  EXPECT_TRUE(models::make_schema_type("DATE")->is<models::DateTypeClass>());
  EXPECT_FALSE(models::make_schema_type("DATE")->is<models::TimeTypeClass>());
  for (std::string_view name : {"BOOLEAN", "FIXED", "STRING", "BYTES", "NUMBER", "DATE", "TIME",
                                "ENUM", "NULL", "MAP", "ARRAY", "UNION", "RECORD"}) {
    EXPECT_EQ(models::make_schema_type(name)->type_name(), name);
  }
}

TEST(SchemaTypes, UnknownNamesAreRefusedListingTheKnownOnes) {
  EXPECT_THROW_MSG(models::make_schema_type("number"), platform::ValueError,
                   "Unknown schema field type \"number\" (known: BOOLEAN, FIXED, STRING, BYTES, "
                   "NUMBER, DATE, TIME, ENUM, NULL, MAP, ARRAY, UNION, RECORD)");
}

}  // namespace
