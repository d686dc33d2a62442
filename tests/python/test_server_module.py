"""The server module's lifespan and tool from Python, against the fakes over HTTP."""

import asyncio
import os
import types
import unittest
from unittest import mock

from orvane.sdk.main_client import OrvaneClient
from orvane_semantic_agent._context import Context, with_context
from orvane_semantic_agent.cortex import SnowflakeProvisioningConfig
from orvane_semantic_agent.cortex_analyst_mcp import _app_lifespan, run_cortex_analyst
from support import CUSTOMERS, ORDERS, Fakes, analyst_answer, demo_llm_answers, sql, text

fakes = None
environment = None


def setUpModule():
    global fakes, environment
    fakes = Fakes(llm_script=demo_llm_answers()).__enter__()
    environment = mock.patch.dict(os.environ, fakes.environment())
    environment.start()


def tearDownModule():
    environment.stop()
    fakes.__exit__(None, None, None)


def request_with(lifespan_context):
    return types.SimpleNamespace(
        request_context=types.SimpleNamespace(lifespan_context=lifespan_context))


def in_lifespan(use):
    """Runs `use(app_context)` inside the server lifespan for a context from the environment and
    returns its result with the AppContext."""
    context = Context(client=OrvaneClient.from_env(), config=SnowflakeProvisioningConfig.from_env())

    async def run():
        with with_context(context):
            async with _app_lifespan(None) as app_context:
                return use(app_context), app_context, context

    return asyncio.run(run())


class LifespanTest(unittest.TestCase):
    def test_resources_live_exactly_as_long_as_the_lifespan(self):
        def inspect(app_context):
            return (app_context.temp_dir, app_context.temp_dir.is_dir(),
                    app_context.snowflake_connection.is_closed(), fakes.state()["open_sessions"])

        (temp_dir, existed, was_closed, sessions), app_context, context = in_lifespan(inspect)
        self.assertTrue(existed)
        self.assertTrue(temp_dir.name.startswith("orvane_semantic_agent"))
        self.assertFalse(was_closed)
        self.assertEqual(sessions, 1)
        self.assertEqual(app_context.config_context, context)
        self.assertFalse(temp_dir.exists())
        self.assertTrue(app_context.snowflake_connection.is_closed())
        self.assertEqual(fakes.state()["open_sessions"], 0)

    def test_without_an_installed_context_nothing_opens(self):
        async def run():
            async with _app_lifespan(None):
                pass

        with self.assertRaises(LookupError):
            asyncio.run(run())
        self.assertEqual(fakes.state()["open_sessions"], 0)


class ToolTest(unittest.TestCase):
    def test_generated_answer_with_rows_and_a_model_file(self):
        fakes.add_analyst_answers([analyst_answer(
            text("Customers: "), sql("SELECT CUSTOMER_ID FROM CUSTOMERS ORDER BY CUSTOMER_ID"))])

        def call(app_context):
            result = run_cortex_analyst("Which customers?", [ORDERS], request_with(app_context))
            return result, [path.name for path in app_context.temp_dir.iterdir()]

        (result, files), _, _ = in_lifespan(call)
        self.assertEqual(result, {"text": "Customers: ",
                                  "sql": "SELECT CUSTOMER_ID FROM CUSTOMERS ORDER BY CUSTOMER_ID",
                                  "results": [{"CUSTOMER_ID": 1}, {"CUSTOMER_ID": 2},
                                              {"CUSTOMER_ID": 3}]})
        self.assertEqual(len(files), 1)
        self.assertRegex(files[0], r"^semantic_model_[0-9a-f_]{36}\.yml$")

    def test_candidate_checks_come_first(self):
        cases = [([], "No candidate urns provided"),
                 ([ORDERS] * 5, "Only up to 4 candidate urns are supported"),
                 ([CUSTOMERS, "urn:orvane:chart:(looker,x)"], "Only dataset urns are supported"),
                 ([ORDERS.replace("snowflake", "Snowflake")],
                  "Only snowflake datasets are supported")]

        def call_each(app_context):
            raised = []
            for candidates, _ in cases:
                try:
                    run_cortex_analyst("q", candidates, request_with(app_context))
                except ValueError as error:
                    raised.append(str(error))
            return raised

        raised, _, _ = in_lifespan(call_each)
        self.assertEqual(raised, [message for _, message in cases])

    def test_a_request_without_the_servers_resources_is_assertion_error(self):
        with self.assertRaises(AssertionError):
            run_cortex_analyst("q", [ORDERS], request_with({"not": "an AppContext"}))


if __name__ == "__main__":
    unittest.main()
