"""The module `cortex` and the tool's query function against the fake warehouse over HTTP: the
native connection, the analyst call, the stage upload, the rows, and every failure kind as its
Python exception."""

import datetime
import http.server
import json
import os
import pathlib
import tempfile
import threading
import unittest
from unittest import mock

from orvane_semantic_agent.cortex import (
    NativeSnowflakeConnection,
    SnowflakeError,
    SnowflakeProvisioningConfig,
    call_snowflake_analyst,
    put_file,
)
from orvane_semantic_agent.cortex_analyst_mcp import _execute_sql
from orvane_semantic_agent.semantic_model import SemanticModel, ValidationError
from support import SOURCE_DIR, Fakes, analyst_answer, sql, text

fakes = None
environment = None


def setUpModule():
    global fakes, environment
    fakes = Fakes().__enter__()
    environment = mock.patch.dict(os.environ, fakes.environment())
    environment.start()


def tearDownModule():
    environment.stop()
    fakes.__exit__(None, None, None)


def shop_model():
    with open(os.path.join(SOURCE_DIR, "tests/e2e/data/shop_model.yml")) as file:
        return SemanticModel.from_yaml(file.read())


class WarehouseTest(unittest.TestCase):
    def setUp(self):
        self.conn = SnowflakeProvisioningConfig.from_env().get_native_connection()
        self.addCleanup(self.conn.close)


class ConnectionTest(unittest.TestCase):
    def test_with_block_closes_the_session(self):
        with SnowflakeProvisioningConfig.from_env().get_native_connection() as conn:
            self.assertIsInstance(conn, NativeSnowflakeConnection)
            self.assertFalse(conn.is_closed())
            self.assertEqual(fakes.state()["open_sessions"], 1)
        self.assertTrue(conn.is_closed())
        self.assertEqual(fakes.state()["open_sessions"], 0)

    def test_settings_come_from_prefixed_variables_in_any_case(self):
        with mock.patch.dict(os.environ, {"snowflake__connection__role": "analyst"}):
            config = SnowflakeProvisioningConfig.from_env()
        self.assertEqual(config.role, "analyst")
        self.assertEqual(config.port, fakes.warehouse_port)
        self.assertNotEqual(config, SnowflakeProvisioningConfig.from_env())
        self.assertEqual(SnowflakeProvisioningConfig.from_env(),
                         SnowflakeProvisioningConfig.from_env())

    def test_missing_account_is_a_validation_error_naming_it(self):
        with mock.patch.dict(os.environ, {"SNOWFLAKE__CONNECTION__ACCOUNT_ID": ""}):
            with self.assertRaises(ValidationError) as caught:
                SnowflakeProvisioningConfig.from_env()
        self.assertIsInstance(caught.exception, ValueError)
        self.assertIn("SNOWFLAKE__CONNECTION__ACCOUNT_ID", str(caught.exception))
        self.assertNotIn("secret", str(caught.exception))


class AnalystTest(WarehouseTest):
    def test_inline_model_answer_in_block_order(self):
        fakes.add_analyst_answers([analyst_answer(
            text("Revenue: "), sql("SELECT 1"), text("done."),
            {"type": "suggestions", "suggestions": ["And per month?"]}, {"type": "other"})])
        entries = call_snowflake_analyst(self.conn, semantic_model_file=shop_model(),
                                         prompt="Revenue per country?")
        self.assertEqual(entries, ["Revenue: ", ("sql", "SELECT 1"), "done.",
                                   ("suggestions", ["And per month?"])])

    def test_named_model_file(self):
        fakes.add_analyst_answers([analyst_answer(text("From the staged model."))])
        entries = call_snowflake_analyst(self.conn, "@models/shop.yml", "Revenue per country?")
        self.assertEqual(entries, ["From the staged model."])


class StageTest(WarehouseTest):
    def test_put_file_uploads_and_returns_the_stage_path(self):
        with tempfile.TemporaryDirectory() as directory:
            path = pathlib.Path(directory, "model file.yml")
            path.write_text("name: shop\n")
            self.assertEqual(put_file(self.conn, "@models", path), "@models/model file.yml")
            self.assertEqual(put_file(self.conn, "@models/sub", str(path)),
                             "@models/sub/model file.yml")
        uploaded = [name for _, _, names in os.walk(os.path.join(fakes.stage_dir, "models"))
                    for name in names]
        self.assertEqual(len(uploaded), 2)
        self.assertTrue(all(name.startswith("model file.yml") for name in uploaded), uploaded)


class RowsTest(WarehouseTest):
    def test_rows_are_records_in_the_table_to_json_value_forms(self):
        rows = _execute_sql(self.conn, "SELECT ORDER_ID, ORDERED_ON, AMOUNT, STATUS FROM ORDERS "
                                       "WHERE ORDER_ID IN (100, 103) ORDER BY ORDER_ID")
        ordered_on = datetime.datetime(2026, 11, 2, tzinfo=datetime.timezone.utc)
        self.assertEqual(rows, [
            {"ORDER_ID": 100, "ORDERED_ON": int(ordered_on.timestamp() * 1000), "AMOUNT": 120.5,
             "STATUS": "shipped"},
            {"ORDER_ID": 103, "ORDERED_ON": int(ordered_on.timestamp() * 1000) + 5 * 86400000,
             "AMOUNT": 310.0, "STATUS": "shipped"},
        ])
        self.assertEqual(list(rows[0]), ["ORDER_ID", "ORDERED_ON", "AMOUNT", "STATUS"])

    def test_no_rows_is_an_empty_list(self):
        self.assertEqual(_execute_sql(self.conn, "SELECT * FROM ORDERS WHERE ORDER_ID < 0"), [])


class FailureKindTest(WarehouseTest):
    """Each failure reaches Python as the exception of its kind, its message unchanged."""

    def test_bad_stage_is_value_error(self):
        with self.assertRaisesRegex(ValueError, "^Stage spec must start with @$"):
            put_file(self.conn, " @models", "/dev/null")

    def test_closed_connection_is_assertion_error_for_the_analyst(self):
        self.conn.close()
        with self.assertRaises(AssertionError):
            call_snowflake_analyst(self.conn, shop_model(), "Anything?")

    def test_block_without_its_field_is_key_error(self):
        fakes.add_analyst_answers([analyst_answer({"type": "sql"})])
        with self.assertRaises(KeyError) as caught:
            call_snowflake_analyst(self.conn, shop_model(), "Anything?")
        self.assertIn("statement", str(caught.exception))

    def test_failed_request_is_runtime_error(self):
        fakes.add_analyst_answers([{"status": 503, "body": {"message": "busy"}}])
        with self.assertRaises(RuntimeError) as caught:
            call_snowflake_analyst(self.conn, shop_model(), "Anything?")
        self.assertTrue(str(caught.exception).startswith("Failed request with status 503: "),
                        caught.exception)

    def test_warehouse_failure_is_the_connector_error(self):
        with self.assertRaises(SnowflakeError) as caught:
            _execute_sql(self.conn, "SELECT * FROM NO_SUCH_TABLE")
        self.assertIsInstance(caught.exception, RuntimeError)
        self.assertIn("NO_SUCH_TABLE", str(caught.exception))
        self.assertTrue(str(caught.exception).startswith(caught.exception.code))



class AcceptingWarehouse(http.server.BaseHTTPRequestHandler):
    """A warehouse stand-in over plain HTTP that logs anyone in and answers every statement as a
    PUT to a stage of a kind the connector cannot write to."""

    def do_POST(self):
        self.rfile.read(int(self.headers.get("Content-Length", 0)))
        if self.path.startswith("/session/v1/login-request"):
            data = {"token": "session-token", "masterToken": "master-token"}
        else:
            data = {"command": "UPLOAD", "src_locations": [__file__],
                    "stageInfo": {"locationType": "FTP", "location": "models/"}}
        body = json.dumps({"success": True, "data": data}).encode()
        self.send_response(200)
        self.send_header("Content-Type", "application/json")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


class DownloadTest(unittest.TestCase):
    def test_download_is_not_implemented(self):
        server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), AcceptingWarehouse)
        threading.Thread(target=server.serve_forever, daemon=True).start()
        self.addCleanup(server.server_close)
        self.addCleanup(server.shutdown)
        with mock.patch.dict(os.environ, {"SNOWFLAKE__CONNECTION__PORT": str(server.server_port),
                                          "SNOWFLAKE__CONNECTION__PROTOCOL": "http"}):
            config = SnowflakeProvisioningConfig.from_env()
        with config.get_native_connection() as conn:
            with self.assertRaisesRegex(NotImplementedError, "no file was transferred"):
                put_file(conn, "@models", __file__)


if __name__ == "__main__":
    unittest.main()
