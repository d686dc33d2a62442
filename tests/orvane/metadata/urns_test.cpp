// URN parsing: every accepted text is written back exactly; every malformed shape is refused
// with a ValueError that quotes the text.
#include <gtest/gtest.h>

#include <unordered_map>
#include <unordered_set>

#include "orvane/metadata/urns.hpp"
#include "platform/errors/errors.hpp"
#include "tests/support/expect_throw.hpp"

namespace {

using namespace orvane::metadata::urns;

const std::string kOrders =
    "urn:orvane:dataset:(urn:orvane:dataPlatform:snowflake,sales_db.public.orders,PROD)";

TEST(UrnRoundTrip, EveryAcceptedTextIsWrittenBackExactly) {
  const std::vector<std::string> texts = {
      kOrders,
      "urn:orvane:dataset:(urn:orvane:dataPlatform:snowflake,db.s.kunden_übersicht_顧客,DEV)",
      "urn:orvane:dataset:(urn:orvane:dataPlatform:snowflake,db.s.\"a%2Cb%28c%29%25\",PROD)",
      "urn:orvane:dataset:(urn:orvane:dataPlatform:my%2Cplatform,a:b c,PROD)",
      "urn:orvane:query:0f3c2a",
      "urn:orvane:query:q:with:colons",
      "urn:orvane:dataPlatform:snowflake",
      "urn:orvane:schemaField:(" + kOrders + ",ORDER_ID)",
      "urn:orvane:chart:(looker,dashboard_elements.12)",
      "urn:orvane:dashboard:(looker,dashboards.7)",
      "urn:orvane:corpuser:jdoe",
      "urn:orvane:tag:(single)",
      "urn:orvane:dataJob:(urn:orvane:dataFlow:(airflow,daily%2Cload,PROD),task one)",
  };
  for (const std::string& text : texts) {
    SCOPED_TRACE(text);
    const std::unique_ptr<Urn> urn = Urn::from_string(text);
    EXPECT_EQ(urn->urn(), text);
    EXPECT_EQ(fmt::format("{}", *urn), text);
    EXPECT_EQ(Urn::from_string(urn->urn())->urn(), text);
  }
}

TEST(UrnRoundTrip, GivesTheTypedUrnOfTheTextsKind) {
  EXPECT_TRUE(Urn::from_string(kOrders)->is<DatasetUrn>());
  EXPECT_TRUE(Urn::from_string("urn:orvane:query:q")->is<QueryUrn>());
  EXPECT_TRUE(Urn::from_string("urn:orvane:dataPlatform:x")->is<DataPlatformUrn>());
  EXPECT_TRUE(Urn::from_string("urn:orvane:schemaField:(" + kOrders + ",A)")->is<SchemaFieldUrn>());
  EXPECT_TRUE(Urn::from_string("urn:orvane:chart:(a,b)")->is<ChartUrn>());
  EXPECT_TRUE(Urn::from_string("urn:orvane:dashboard:(a,b)")->is<DashboardUrn>());
  const auto other = Urn::from_string("urn:orvane:dataJob:(urn:orvane:dataFlow:(a,b,c),t%2C1)");
  EXPECT_FALSE(other->is<DatasetUrn>());
  EXPECT_EQ(other->entity_type(), "dataJob");
  EXPECT_EQ(other->entity_ids(), (std::vector<std::string>{"urn:orvane:dataFlow:(a,b,c)", "t,1"}));
}

TEST(DatasetUrnTest, PartsAreUnescapedAndEscapedBack) {
  const DatasetUrn urn = DatasetUrn::from_string(
      "urn:orvane:dataset:(urn:orvane:dataPlatform:snowflake,db.s.\"a%2Cb%28c%29%25\",QA)");
  EXPECT_EQ(urn.get_data_platform_urn().platform_name(), "snowflake");
  EXPECT_EQ(urn.name(), "db.s.\"a,b(c)%\"");
  EXPECT_EQ(urn.env(), "QA");

  const DatasetUrn built("snowflake", "db.s.\"a,b(c)%\"", "QA");
  EXPECT_EQ(built, urn);
  EXPECT_EQ(DatasetUrn("snowflake", "db.s.t").env(), "PROD");
  EXPECT_THROW_MSG(DatasetUrn("snowflake", ""), platform::ValueError,
                   "A urn's dataset name must not be empty");
}

TEST(DatasetUrnTest, ComparesAndHashesByValue) {
  const DatasetUrn a = DatasetUrn::from_string(kOrders);
  const DatasetUrn b = DatasetUrn::from_string(*Urn::from_string(kOrders));
  const DatasetUrn dev("snowflake", "sales_db.public.orders", "DEV");
  EXPECT_EQ(a, b);
  EXPECT_NE(a, dev);
  std::unordered_set<DatasetUrn> set{a, b, dev};
  EXPECT_EQ(set.size(), 2u);
  std::unordered_map<DatasetUrn, int> popularity{{a, 40}};
  EXPECT_EQ(popularity.at(b), 40);
}

TEST(UrnRepr, IsTheClassNameAndThePythonQuotedText) {
  EXPECT_EQ(repr(DatasetUrn::from_string(kOrders)), "DatasetUrn('" + kOrders + "')");
  EXPECT_EQ(repr(*Urn::from_string(kOrders)), "DatasetUrn('" + kOrders + "')");
  EXPECT_EQ(repr(QueryUrn("q'1")), "QueryUrn(\"urn:orvane:query:q'1\")");
  EXPECT_EQ(repr(*Urn::from_string("urn:orvane:corpuser:jo")), "Urn('urn:orvane:corpuser:jo')");
}

TEST(DatasetUrnTest, FromATypedUrnOfAnotherKindFails) {
  const auto chart = Urn::from_string("urn:orvane:chart:(looker,1)");
  EXPECT_THROW_MSG(DatasetUrn::from_string(*chart), platform::ValueError,
                   "Invalid urn \"urn:orvane:chart:(looker,1)\": expected a dataset urn, not a "
                   "chart urn");
  EXPECT_THROW_MSG(QueryUrn::from_string(kOrders), platform::ValueError,
                   "Invalid urn \"" + kOrders + "\": expected a query urn, not a dataset urn");
}

TEST(SchemaFieldUrnTest, HoldsItsDataset) {
  const auto field = SchemaFieldUrn::from_string("urn:orvane:schemaField:(" + kOrders + ",a%2Cb)");
  EXPECT_EQ(field.dataset(), DatasetUrn::from_string(kOrders));
  EXPECT_EQ(field.field_path(), "a,b");
}

struct Malformed {
  std::string text;
  std::string reason;
};

TEST(UrnMalformed, EveryShapeIsRefusedQuotingTheText) {
  const std::vector<Malformed> cases = {
      {"", "it must start with \"urn:orvane:\""},
      {"snowflake.db.table", "it must start with \"urn:orvane:\""},
      {"URN:orvane:query:q", "it must start with \"urn:orvane:\""},
      {"urn:li:dataset:(a,b,c)", "the namespace must be \"orvane\""},
      {"urn:orvane:", "missing \":\" and key after the entity type"},
      {"urn:orvane:query", "missing \":\" and key after the entity type"},
      {"urn:orvane::q", "the entity type must be a letter followed by letters and digits"},
      {"urn:orvane:9lives:q", "the entity type must be a letter followed by letters and digits"},
      {"urn:orvane:data-set:q", "the entity type must be a letter followed by letters and digits"},
      {"urn:orvane:query:", "missing key"},
      {"urn:orvane:tag:(a,b", "unbalanced parentheses"},
      {"urn:orvane:tag:((a,b)", "unbalanced parentheses"},
      {"urn:orvane:tag:(a,b))", "unexpected text after the closing parenthesis"},
      {"urn:orvane:tag:(a,b)c", "unexpected text after the closing parenthesis"},
      {"urn:orvane:tag:()", "empty part in the key"},
      {"urn:orvane:tag:(a,,b)", "empty part in the key"},
      {"urn:orvane:tag:(a,)", "empty part in the key"},
      {"urn:orvane:tag:(a(b),c)", "unescaped \"(\" in \"a(b)\" (write %28, %29 or %2C)"},
      {"urn:orvane:query:a,b", "unescaped \",\" in \"a,b\" (write %28, %29 or %2C)"},
      {"urn:orvane:query:a)", "unescaped \")\" in \"a)\" (write %28, %29 or %2C)"},
      {"urn:orvane:query:50%", "unknown escape \"%\" (only %25, %28, %29 and %2C exist)"},
      {"urn:orvane:query:a%2", "unknown escape \"%2\" (only %25, %28, %29 and %2C exist)"},
      {"urn:orvane:query:a%2cb", "unknown escape \"%2c\" (only %25, %28, %29 and %2C exist)"},
      {"urn:orvane:query:a%41", "unknown escape \"%41\" (only %25, %28, %29 and %2C exist)"},
      {"urn:orvane:query:(a,b)", "expected the key <query id>"},
      {"urn:orvane:dataPlatform:(a,b)", "expected the key <platform name>"},
      {"urn:orvane:dataset:snowflake", "expected the key (<data platform urn>,<name>,<env>)"},
      {"urn:orvane:dataset:(urn:orvane:dataPlatform:snowflake,db.s.t)",
       "expected the key (<data platform urn>,<name>,<env>)"},
      {"urn:orvane:dataset:(urn:orvane:dataPlatform:snowflake,db.s.t,PROD,x)",
       "expected the key (<data platform urn>,<name>,<env>)"},
      {"urn:orvane:dataset:(snowflake,db.s.t,PROD)", "the first part must be a data platform urn"},
      {"urn:orvane:dataset:(urn:orvane:chart:(a,b),db.s.t,PROD)",
       "expected a dataPlatform urn, not a chart urn"},
      {"urn:orvane:dataset:(urn:orvane:dataPlatform:snow(flake,db.s.t,PROD)",
       "unbalanced parentheses"},
      {"urn:orvane:schemaField:(db.s.t,col)", "the first part must be a dataset urn"},
      {"urn:orvane:chart:looker", "expected the key (<tool>,<id>)"},
      {"urn:orvane:tag:(urn:orvane:bad-type:x,y)",
       "the entity type must be a letter followed by letters and digits"},
  };
  for (const Malformed& bad : cases) {
    SCOPED_TRACE(bad.text);
    EXPECT_THROW_MSG(Urn::from_string(bad.text), platform::ValueError,
                     "Invalid urn \"" + bad.text + "\": " + bad.reason);
  }
}

TEST(UrnMalformed, DeepNestingAndHugeTextsStayBounded) {
  std::string nested = "x";
  for (int i = 0; i < 50; ++i) nested = "urn:orvane:tag:(" + nested + ",y)";
  EXPECT_THROW_SUBSTR(Urn::from_string(nested), platform::ValueError, "urns nested too deeply");

  const std::string huge = "urn:orvane:query:" + std::string(100000, '(');
  try {
    Urn::from_string(huge);
    FAIL() << "no error";
  } catch (const platform::ValueError& error) {
    EXPECT_LT(std::string(error.what()).size(), 400u);
  }
}

}  // namespace
