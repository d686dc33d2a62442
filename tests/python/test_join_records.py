"""The generator's join records from Python: join groups as set values and dict keys, sourced
joins as mutable records around the lineage parser's JoinInfo."""

import unittest

from orvane.metadata.urns import DatasetUrn, QueryUrn
from orvane.sql_parsing.sqlglot_lineage import parse_sql_lineage
from orvane_semantic_agent.generate import JoinedTables, SourcedJoinInfo
from support import CUSTOMERS, ORDERS

JOIN_SQL = "SELECT * FROM orders o JOIN customers c ON o.customer_id = c.id"


class JoinedTablesTest(unittest.TestCase):
    def test_a_group_is_a_set_value_usable_as_a_dict_key(self):
        orders, customers = DatasetUrn.from_string(ORDERS), DatasetUrn.from_string(CUSTOMERS)
        group = JoinedTables([orders, customers])
        # Urns parsed again and given in the other order name the same group.
        swapped = JoinedTables({DatasetUrn.from_string(CUSTOMERS), DatasetUrn.from_string(ORDERS)})
        self.assertEqual(group, swapped)
        self.assertEqual(hash(group), hash(swapped))
        joins = {group: ["first"]}
        joins[swapped].append("second")
        self.assertEqual(joins, {group: ["first", "second"]})

        self_join = JoinedTables([orders, DatasetUrn.from_string(ORDERS)])
        self.assertEqual(len(self_join), 1)
        self.assertEqual(list(self_join), [orders])
        self.assertNotEqual(self_join, group)
        self.assertEqual(len(group), 2)
        self.assertEqual(set(group), {orders, customers})
        self.assertEqual(repr(self_join), f"JoinedTables({{DatasetUrn('{ORDERS}')}})")

        with self.assertRaises(ValueError):
            JoinedTables([])
        with self.assertRaises(TypeError):
            JoinedTables([ORDERS])
        with self.assertRaises(AttributeError):
            group.extra = orders


class SourcedJoinInfoTest(unittest.TestCase):
    def test_a_parsed_join_is_recorded_with_its_query_and_can_be_changed(self):
        result = parse_sql_lineage(sql=JOIN_SQL, platform="snowflake", default_db="shop_db",
                                   default_schema="public")
        self.assertIsNone(result.error)
        [join] = result.joins
        self.assertEqual((join.left_tables, join.right_tables), ([ORDERS], [CUSTOMERS]))

        sourced = SourcedJoinInfo(QueryUrn("q1"), JOIN_SQL, join)
        self.assertEqual(sourced.query_urn, QueryUrn.from_string("urn:orvane:query:q1"))
        self.assertEqual(sourced.query_text, JOIN_SQL)
        self.assertEqual(sourced.join.right_tables, [CUSTOMERS])

        [self_join] = parse_sql_lineage("SELECT * FROM orders a JOIN orders b ON a.id = b.id",
                                        "snowflake", None, "shop_db", "public").joins
        urn_before = sourced.query_urn
        sourced.query_urn = QueryUrn("q2")
        sourced.query_text = "SELECT 1"
        sourced.join = self_join
        self.assertEqual(str(sourced.query_urn), "urn:orvane:query:q2")
        self.assertEqual(str(urn_before), "urn:orvane:query:q1")
        self.assertEqual(sourced.query_text, "SELECT 1")
        self.assertEqual(sourced.join.right_tables, [ORDERS])

        with self.assertRaises(TypeError):
            SourcedJoinInfo(QueryUrn("q1"), JOIN_SQL)
        unparsable = parse_sql_lineage("SELECT * FROM orders JOIN", "snowflake")
        self.assertIsNone(unparsable.joins)
        self.assertIn("syntax error", unparsable.error)


if __name__ == "__main__":
    unittest.main()
