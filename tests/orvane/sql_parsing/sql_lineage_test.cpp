// The parser's contract beyond the labelled corpus: condition details, dataset naming, error
// texts, limits on nesting and size, and long flat inputs that must not recurse.
#include "orvane/sql_parsing/sql_lineage.hpp"

#include "orvane/metadata/urns.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

namespace {

using orvane::sql_parsing::ColumnInvolved;
using orvane::sql_parsing::parse_sql_lineage;
using orvane::sql_parsing::SqlParsingResult;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

std::string urn(const std::string& name) {
  return "urn:orvane:dataset:(urn:orvane:dataPlatform:snowflake," + name + ",PROD)";
}

SqlParsingResult parse(const std::string& sql) {
  return parse_sql_lineage(sql, "snowflake", std::nullopt, "DB", "S");
}

std::string error_of(const std::string& sql) {
  SqlParsingResult result = parse(sql);
  EXPECT_FALSE(result.joins.has_value());
  return result.error.value_or("<no error>");
}

TEST(ParseSqlLineage, ReportsConditionTextAndTracedColumns) {
  SqlParsingResult result = parse(
      "WITH c AS (SELECT id AS cust_id FROM customers)\n"
      "SELECT * FROM orders o JOIN c ON c.cust_id = o.customer_id AND o.kind = 'x'"
      " JOIN items USING (order_id) CROSS JOIN t");
  ASSERT_TRUE(result.joins.has_value());
  ASSERT_EQ(result.joins->size(), 3u);
  const auto& first = result.joins->at(0);
  EXPECT_EQ(first.on_clause, "c.cust_id = o.customer_id AND o.kind = 'x'");
  EXPECT_THAT(first.columns_involved, ElementsAre(ColumnInvolved{urn("db.s.customers"), "id"},
                                                  ColumnInvolved{urn("db.s.orders"), "customer_id"},
                                                  ColumnInvolved{urn("db.s.orders"), "kind"}));
  EXPECT_EQ(result.joins->at(1).on_clause, "USING (order_id)");
  EXPECT_THAT(result.joins->at(1).columns_involved,
              ElementsAre(ColumnInvolved{std::nullopt, "order_id"}));
  EXPECT_EQ(result.joins->at(2).on_clause, std::nullopt);
  EXPECT_TRUE(result.joins->at(2).columns_involved.empty());
}

TEST(ParseSqlLineage, QualifiedUsingColumnsAndEscapedConditionsKeepTheirColumns) {
  SqlParsingResult result = parse(
      "SELECT * FROM {oj orders o LEFT OUTER JOIN items i USING (o.order_id, i.tenant)}"
      " JOIN c ON {fn UCASE(c.code)} = o.code");
  ASSERT_TRUE(result.joins.has_value()) << result.error.value_or("");
  ASSERT_EQ(result.joins->size(), 2u);
  EXPECT_EQ(result.joins->at(0).on_clause, "USING (o.order_id, i.tenant)");
  EXPECT_THAT(result.joins->at(0).columns_involved,
              ElementsAre(ColumnInvolved{std::nullopt, "order_id"},
                          ColumnInvolved{std::nullopt, "tenant"}));
  EXPECT_EQ(result.joins->at(1).on_clause, "{fn UCASE(c.code)} = o.code");
  EXPECT_THAT(result.joins->at(1).columns_involved,
              ElementsAre(ColumnInvolved{urn("db.s.c"), "code"},
                          ColumnInvolved{urn("db.s.orders"), "code"}));
}

TEST(ParseSqlLineage, AsofConditionSpansMatchConditionAndOn) {
  SqlParsingResult result =
      parse("SELECT * FROM t ASOF JOIN q MATCH_CONDITION (t.ts >= q.ts) ON t.s = q.s");
  ASSERT_TRUE(result.joins.has_value());
  EXPECT_EQ(result.joins->at(0).on_clause, "MATCH_CONDITION (t.ts >= q.ts) ON t.s = q.s");
}

TEST(ParseSqlLineage, KeywordsInAnyCaseAndNamesThatOnlyResembleThem) {
  SqlParsingResult result = parse(
      "sElEcT * fRoM on_ o LeFt OuTeR jOiN \"JOIN\" j oN o.id = j.id"
      " join j0in x on x.id = o.id join joins y using (id) join \"on\" z on z.id = o.id");
  ASSERT_TRUE(result.joins.has_value()) << result.error.value_or("");
  ASSERT_EQ(result.joins->size(), 4u);
  EXPECT_EQ(result.joins->at(0).join_type, "LEFT OUTER");
  EXPECT_THAT(result.joins->at(0).left_tables, ElementsAre(urn("db.s.on_")));
  EXPECT_THAT(result.joins->at(0).right_tables, ElementsAre(urn("db.s.join")));
  EXPECT_THAT(result.joins->at(1).right_tables, ElementsAre(urn("db.s.j0in")));
  EXPECT_THAT(result.joins->at(2).right_tables, ElementsAre(urn("db.s.joins")));
  EXPECT_THAT(result.joins->at(3).right_tables, ElementsAre(urn("db.s.on")));
}

TEST(ParseSqlLineage, NamesDatasetsFromDefaultsInstanceAndPlatformUrns) {
  auto tables = [](const SqlParsingResult& result) {
    return std::vector<std::string>{result.joins->at(0).left_tables.at(0),
                                    result.joins->at(0).right_tables.at(0)};
  };
  const std::string sql = "select * from t join s2.u on t.id = u.id";
  EXPECT_THAT(tables(parse_sql_lineage(sql, "snowflake", std::nullopt, std::nullopt, std::nullopt)),
              ElementsAre(urn("t"), urn("s2.u")));
  EXPECT_THAT(
      tables(parse_sql_lineage(sql, "urn:orvane:dataPlatform:snowflake", "EU", "Db", "Sch")),
      ElementsAre(urn("EU.db.sch.t"), urn("EU.db.s2.u")));
  EXPECT_THAT(tables(parse_sql_lineage(
                  sql, "snowflake",
                  "urn:orvane:dataPlatformInstance:(urn:orvane:dataPlatform:snowflake,eu_prod)",
                  "db", "s")),
              ElementsAre(urn("eu_prod.db.s.t"), urn("eu_prod.db.s2.u")));
}

// The catalogue holds Snowflake names lower-cased in every script, so a name is not ASCII-only.
TEST(ParseSqlLineage, LowerCasesNamesInEveryScript) {
  SqlParsingResult result = parse_sql_lineage(
      "SELECT * FROM KUNDEN_ÜBERSICHT k"
      " JOIN ΕΤΑΙΡΕΊΑ.ΤΙΜΟΛΌΓΙΑ t ON t.ΚΩΔΙΚΌΣ = k.ÄNDERUNGS_ID"
      " JOIN \"Заказы \"\"Клиентов\"\"\" z ON z.ИД = k.ID"
      " JOIN IDENTIFIER('ŁÓDŹ.\"ŻÓŁW\".ŚWIAT') w ON w.id = k.id",
      "snowflake", std::nullopt, "VERTRIEB_ÖSTERREICH", "ОСНОВНАЯ");
  ASSERT_TRUE(result.joins.has_value()) << result.error.value_or("");
  ASSERT_EQ(result.joins->size(), 3u);
  EXPECT_THAT(result.joins->at(0).left_tables,
              ElementsAre(urn("vertrieb_österreich.основная.kunden_übersicht")));
  EXPECT_THAT(result.joins->at(0).right_tables,
              ElementsAre(urn("vertrieb_österreich.εταιρεία.τιμολόγια")));
  EXPECT_THAT(result.joins->at(0).columns_involved,
              ElementsAre(ColumnInvolved{urn("vertrieb_österreich.εταιρεία.τιμολόγια"), "κωδικόσ"},
                          ColumnInvolved{urn("vertrieb_österreich.основная.kunden_übersicht"),
                                         "änderungs_id"}));
  EXPECT_THAT(result.joins->at(1).right_tables,
              ElementsAre(urn("vertrieb_österreich.основная.заказы \"клиентов\"")));
  EXPECT_THAT(result.joins->at(2).right_tables, ElementsAre(urn("łódź.żółw.świat")));
}

TEST(ParseSqlLineage, QuotedNamesWithUrnCharactersParseBackToTheSameDataset) {
  const SqlParsingResult result =
      parse(R"(select * from "Odd, (Name) 100%" a join b on a.id = b.id)");
  const std::string& text = result.joins->at(0).left_tables.at(0);
  const auto dataset = orvane::metadata::urns::DatasetUrn::from_string(text);
  EXPECT_EQ(dataset.name(), "db.s.odd, (name) 100%");
  EXPECT_EQ(dataset.urn(), text);
}

TEST(ParseSqlLineage, ErrorsSayWhereAndWhat) {
  EXPECT_EQ(error_of("select 'abc"), "syntax error at line 1, column 8: unterminated string");
  EXPECT_EQ(error_of("select \"abc"),
            "syntax error at line 1, column 8: unterminated quoted identifier");
  EXPECT_EQ(error_of("select $$abc"), "syntax error at line 1, column 8: unterminated $$ string");
  EXPECT_EQ(error_of("select *\nfrom a\njoin b on"),
            "syntax error at line 3, column 10: unexpected end of text; expected an expression");
  EXPECT_EQ(error_of("select * from a where x = 1 1"),
            "syntax error at line 1, column 29: unexpected '1'; expected end of statement");
  EXPECT_EQ(error_of("select 1 \x01"), "syntax error at line 1, column 10: unexpected byte 0x01");
  EXPECT_EQ(error_of("frobnicate the table"),
            "syntax error at line 1, column 1: unexpected 'frobnicate'; expected a statement");
}

TEST(ParseSqlLineage, EmptyAndQueryFreeTextsHaveNoJoins) {
  for (const char* sql : {"", "  ;; -- nothing\n", "show tables", "alter session set x = 1"}) {
    SCOPED_TRACE(sql);
    SqlParsingResult result = parse(sql);
    ASSERT_TRUE(result.joins.has_value()) << result.error.value_or("");
    EXPECT_TRUE(result.joins->empty());
  }
}

std::string repeat(const std::string& text, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += text;
  return out;
}

TEST(ParseSqlLineage, NestingBeyondTheLimitIsAParseError) {
  const std::string too_deep = "nesting deeper than 256 levels";
  EXPECT_THAT(error_of("select " + repeat("(", 5000) + "1" + repeat(")", 5000)),
              HasSubstr(too_deep));
  EXPECT_THAT(error_of(repeat("select * from (", 3000) + "select 1" + repeat(")", 3000)),
              HasSubstr(too_deep));
  EXPECT_THAT(
      error_of("select * from " + repeat("(a join ", 3000) + "b" + repeat(" on true)", 3000)),
      HasSubstr(too_deep));
  EXPECT_THAT(error_of("select " + repeat("case when x then ", 3000) + "1" + repeat(" end", 3000)),
              HasSubstr(too_deep));
  EXPECT_THAT(error_of("select " + repeat("f(", 3000) + "1" + repeat(")", 3000)),
              HasSubstr(too_deep));

  SqlParsingResult within =
      parse("select * from a join b on " + repeat("(", 200) + "a.x = b.x" + repeat(")", 200));
  ASSERT_TRUE(within.joins.has_value()) << within.error.value_or("");
  EXPECT_EQ(within.joins->size(), 1u);
}

TEST(ParseSqlLineage, LongFlatChainsDoNotRecurse) {
  std::string joins = "select * from t0";
  for (int i = 1; i <= 5000; ++i) {
    joins += " join t0 x" + std::to_string(i) + " on x" + std::to_string(i) + ".id = t0.id";
  }
  SqlParsingResult result = parse(joins);
  ASSERT_TRUE(result.joins.has_value()) << result.error.value_or("");
  EXPECT_EQ(result.joins->size(), 5000u);

  std::string unions = "select a.x from a join b on a.id = b.id" +
                       repeat(" union all select a.x from a join b on a.id = b.id", 5000);
  result = parse("select * from (" + unions + ") u join c on c.x = u.x");
  ASSERT_TRUE(result.joins.has_value()) << result.error.value_or("");
  EXPECT_EQ(result.joins->size(), 5002u);
  EXPECT_THAT(result.joins->at(0).left_tables, ElementsAre(urn("db.s.a")));

  // Columns are deduplicated in linear time, however many the condition and select list name.
  result = parse("with w as (select " + repeat("x.a + ", 20000) + "x.a as k from x)" +
                 " select * from w join b on " + repeat("w.k = b.k and ", 20000) + "true");
  ASSERT_TRUE(result.joins.has_value()) << result.error.value_or("");
  EXPECT_THAT(result.joins->at(0).columns_involved,
              ElementsAre(ColumnInvolved{urn("db.s.x"), "a"}, ColumnInvolved{urn("db.s.b"), "k"}));

  // The space kept between texts after so large a one gives a small text the same answer.
  result = parse("select * from a join b on a.id = b.id");
  ASSERT_TRUE(result.joins.has_value());
  EXPECT_THAT(result.joins->at(0).left_tables, ElementsAre(urn("db.s.a")));
  EXPECT_THAT(result.joins->at(0).right_tables, ElementsAre(urn("db.s.b")));

  std::string ctes = "with c0 as (select id from base)";
  for (int i = 1; i <= 2000; ++i) {
    ctes += ", c" + std::to_string(i) + " as (select id from c" + std::to_string(i - 1) + ")";
  }
  result = parse(ctes + " select * from c2000 join d on d.id = c2000.id");
  ASSERT_TRUE(result.joins.has_value()) << result.error.value_or("");
  // Tracing gives up past its depth limit and falls back to every table the CTE reads.
  EXPECT_THAT(result.joins->at(0).left_tables, ElementsAre(urn("db.s.base")));
}

TEST(ParseSqlLineage, RefusesJoinsWhoseSidesWouldBeHuge) {
  std::string sql = "select * from t0";
  for (int i = 1; i <= 2000; ++i) sql += " join t" + std::to_string(i);
  EXPECT_THAT(error_of(sql), HasSubstr("too many joins to report"));
}

}  // namespace
