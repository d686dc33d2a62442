"""The catalogue layer's Python names: typed urns and the client."""

import os
import unittest
from unittest import mock

from orvane.metadata.urns import DatasetUrn, QueryUrn, Urn
from orvane.sdk.main_client import OrvaneClient
from orvane_semantic_agent.semantic_model import ValidationError
from support import ORDERS

CHART = "urn:orvane:chart:(looker,sales_dashboard)"


class UrnTest(unittest.TestCase):
    def test_parsing_gives_the_typed_kind(self):
        self.assertIsInstance(Urn.from_string(ORDERS), DatasetUrn)
        self.assertIsInstance(Urn.from_string("urn:orvane:query:q1"), QueryUrn)
        chart = Urn.from_string(CHART)
        self.assertIsInstance(chart, Urn)
        self.assertNotIsInstance(chart, DatasetUrn)

    def test_dataset_urns_are_values(self):
        parsed = DatasetUrn.from_string(ORDERS)
        again = DatasetUrn.from_string(Urn.from_string(ORDERS))
        self.assertEqual(parsed, again)
        self.assertEqual(len({parsed, again}), 1)
        self.assertEqual(str(parsed), ORDERS)
        self.assertEqual(repr([parsed]), f"[DatasetUrn('{ORDERS}')]")
        self.assertEqual(parsed.get_data_platform_urn().platform_name, "snowflake")
        self.assertNotEqual(parsed, DatasetUrn.from_string(ORDERS.replace("orders", "items")))
        self.assertNotEqual(parsed, ORDERS)

    def test_query_urns(self):
        self.assertEqual(QueryUrn.from_string("urn:orvane:query:q1"), QueryUrn("q1"))
        self.assertEqual(QueryUrn("q1").query_id, "q1")

    def test_malformed_text_and_other_kinds_are_value_errors(self):
        for text in ["", "orders", "urn:orvane:dataset:(unclosed"]:
            with self.subTest(text=text), self.assertRaises(ValueError):
                Urn.from_string(text)
        with self.assertRaises(ValueError):
            DatasetUrn.from_string(CHART)
        with self.assertRaises(ValueError):
            DatasetUrn.from_string(Urn.from_string(CHART))
        with self.assertRaises(ValueError):
            QueryUrn.from_string(ORDERS)


class ClientTest(unittest.TestCase):
    def test_from_env_without_a_server_url_names_the_variable(self):
        with mock.patch.dict(os.environ, {"ORVANE_SERVER_URL": ""}):
            with self.assertRaises(ValidationError) as caught:
                OrvaneClient.from_env()
        self.assertIsInstance(caught.exception, ValueError)
        self.assertIn("ORVANE_SERVER_URL", str(caught.exception))

    def test_clients_are_equal_only_to_themselves(self):
        with mock.patch.dict(os.environ, {"ORVANE_SERVER_URL": "http://127.0.0.1:9"}):
            first, second = OrvaneClient.from_env(), OrvaneClient.from_env()
        self.assertEqual(first, first)
        self.assertNotEqual(first, second)
        self.assertEqual(hash(first), hash(first))


if __name__ == "__main__":
    unittest.main()
