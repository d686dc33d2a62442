"""The generator from Python against the fake catalogue and LLM over HTTP: the same model as the
built server's, the GIL released while it builds, and its failures as Python exceptions."""

import glob
import json
import os
import signal
import tempfile
import threading
import time
import unittest
from unittest import mock

from orvane.metadata.urns import DatasetUrn
from orvane.sdk.main_client import OrvaneClient
from orvane_semantic_agent.generate import SemanticModelGenerator
from orvane_semantic_agent.semantic_model import SemanticModel
from support import (BIN_DIR, CUSTOMERS, DEMO_DIR, ORDERS, Fakes, McpStdioClient, analyst_answer,
                     demo_llm_answers, text)

# The demo's shop and two broken datasets: one whose qualified name has too few parts, one
# without a qualified name.
SHORT_NAME = "urn:orvane:dataset:(urn:orvane:dataPlatform:snowflake,shop_db.orders,PROD)"
NO_NAME = "urn:orvane:dataset:(urn:orvane:dataPlatform:snowflake,shop_db.public.nameless,PROD)"
# Each build asks the LLM once; the delay makes a build last long enough to watch other threads.
LLM_DELAY_MS = 400

fakes = None
environment = None


def catalogue_fixture(directory):
    with open(os.path.join(DEMO_DIR, "catalogue.json")) as file:
        catalogue = json.load(file)
    fields = {"fields": [{"fieldPath": "ID", "nativeDataType": "NUMBER(38,0)", "type": "NUMBER",
                          "isPartOfKey": True}]}
    catalogue["entities"][SHORT_NAME] = {
        "datasetProperties": {"name": "orders", "qualifiedName": "SHOP_DB.ORDERS"},
        "schemaMetadata": fields}
    catalogue["entities"][NO_NAME] = {"datasetProperties": {"name": "nameless"},
                                      "schemaMetadata": fields}
    path = os.path.join(directory, "catalogue.json")
    with open(path, "w") as file:
        json.dump(catalogue, file)
    return path


def setUpModule():
    global fakes, environment, fixture_dir
    fixture_dir = tempfile.TemporaryDirectory()
    answers = [dict(answer, delay_ms=LLM_DELAY_MS) for answer in demo_llm_answers()] * 4
    fakes = Fakes(catalogue=catalogue_fixture(fixture_dir.name), llm_script=answers).__enter__()
    environment = mock.patch.dict(os.environ, fakes.environment())
    environment.start()


def tearDownModule():
    environment.stop()
    fakes.__exit__(None, None, None)
    fixture_dir.cleanup()


def generator(*urns):
    return SemanticModelGenerator(client=OrvaneClient.from_env(),
                                  start_urns=[DatasetUrn.from_string(urn) for urn in urns])


class SameModelAsTheServerTest(unittest.TestCase):
    def server_model_yaml(self, candidate_urns):
        """The YAML the built server writes for one tool call with these candidates."""
        with tempfile.TemporaryDirectory() as temp:
            env = {**fakes.environment(), "PATH": os.environ.get("PATH", "/usr/bin"),
                   "TMPDIR": temp, "MLFLOW_TRACKING_URI": os.environ["MLFLOW_TRACKING_URI"]}
            fakes.add_analyst_answers([analyst_answer(text("ok"))])
            server = McpStdioClient([os.path.join(BIN_DIR, "orvane-semantic-agent")], env, temp)
            try:
                result = server.call_tool("run_cortex_analyst",
                                          {"query": "Revenue?", "candidate_urns": candidate_urns})
                self.assertFalse(result.get("isError"), result)
                [model_file] = glob.glob(os.path.join(temp, "orvane_semantic_agent*", "*.yml"))
                with open(model_file) as file:
                    return file.read()
            finally:
                self.assertEqual(server.close(), 0)

    def test_generated_model_equals_the_servers(self):
        expected = self.server_model_yaml([ORDERS])
        model = generator(ORDERS).build()
        self.assertIsInstance(model, SemanticModel)
        self.assertEqual(model.to_yaml(), expected)
        self.assertEqual([table.name for table in model.tables], ["orders", "customers"])
        self.assertEqual(len(model.relationships), 1)


class BuildTest(unittest.TestCase):
    def test_constructor_defaults_and_generator_state(self):
        client = OrvaneClient.from_env()
        made = SemanticModelGenerator(client)
        self.assertEqual(made.max_tables, 30)
        self.assertEqual(made.client, client)
        self.assertEqual(made.get_tables(), [])

    def test_table_limit_stops_the_build(self):
        made = SemanticModelGenerator(client=OrvaneClient.from_env(), max_tables=1,
                                      start_urns=[DatasetUrn.from_string(CUSTOMERS)])
        model = made.build()
        self.assertEqual([table.name for table in model.tables], ["customers"])
        self.assertEqual(model.relationships, [])

    def test_other_threads_run_while_a_model_builds(self):
        ticks = []
        stop = threading.Event()

        def tick():
            while not stop.is_set():
                ticks.append(time.monotonic())
                time.sleep(0.005)

        ticker = threading.Thread(target=tick)
        ticker.start()
        try:
            started = time.monotonic()
            generator(ORDERS).build()
            ended = time.monotonic()
        finally:
            stop.set()
            ticker.join()
        self.assertGreaterEqual(ended - started, LLM_DELAY_MS / 1000)
        during = [t for t in ticks if started < t < ended]
        # Held GIL: the ticker would not run at all while the build waits on the LLM.
        self.assertGreater(len(during), 20)


class BuildFailureTest(unittest.TestCase):
    def test_short_qualified_name_is_index_error(self):
        with self.assertRaisesRegex(IndexError, "^list index out of range$"):
            generator(SHORT_NAME).build()

    def test_dataset_without_qualified_name_is_assertion_error(self):
        with self.assertRaises(AssertionError):
            generator(NO_NAME).build()

    def test_a_frozen_catalogue_fails_the_build_within_its_time_limit(self):
        fakes.catalogue_process.send_signal(signal.SIGSTOP)
        self.addCleanup(fakes.catalogue_process.send_signal, signal.SIGCONT)
        with mock.patch.dict(os.environ, {"ORVANE_TIMEOUT_SECONDS": "0.2"}):
            made = generator(ORDERS)
        started = time.monotonic()
        with self.assertRaises(RuntimeError):
            made.build()
        self.assertLess(time.monotonic() - started, 20)

    def test_start_urns_must_be_dataset_urns(self):
        with self.assertRaises(TypeError):
            SemanticModelGenerator(client=OrvaneClient.from_env(), start_urns=[ORDERS])


if __name__ == "__main__":
    unittest.main()
