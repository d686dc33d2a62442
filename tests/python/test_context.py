"""The process-wide context: an immutable record, held per flow of execution, installed by
scopes that always restore the state from before."""

import asyncio
import dataclasses
import os
import threading
import unittest
from unittest import mock

from orvane.sdk.main_client import OrvaneClient
from orvane_semantic_agent._context import Context, get_context, set_context, with_context
from orvane_semantic_agent.cortex import SnowflakeProvisioningConfig

SETTINGS = {
    "ORVANE_SERVER_URL": "http://127.0.0.1:9",
    "SNOWFLAKE__CONNECTION__ACCOUNT_ID": "acct",
    "SNOWFLAKE__CONNECTION__USERNAME": "tester",
    "SNOWFLAKE__CONNECTION__PASSWORD": "secret",
}


def make_context(**settings):
    with mock.patch.dict(os.environ, {**SETTINGS, **settings}):
        return Context(client=OrvaneClient.from_env(),
                       config=SnowflakeProvisioningConfig.from_env())


def in_new_thread(function):
    """Runs `function` in a new thread, which starts with the context unset; returns its result
    or raises its failure."""
    outcome = {}

    def run():
        try:
            outcome["result"] = function()
        except BaseException as error:  # handed to the caller
            outcome["error"] = error

    thread = threading.Thread(target=run)
    thread.start()
    thread.join()
    if "error" in outcome:
        raise outcome["error"]
    return outcome["result"]


def current():
    try:
        return get_context()
    except LookupError:
        return None


class ContextRecordTest(unittest.TestCase):
    def test_immutable(self):
        context = make_context()
        with self.assertRaises(dataclasses.FrozenInstanceError):
            context.client = None

    def test_equal_by_fields(self):
        first = make_context()
        self.assertEqual(first, Context(client=first.client, config=first.config))
        self.assertEqual(first, Context(client=first.client,
                                        config=make_context().config))  # equal settings
        self.assertNotEqual(first, Context(client=make_context().client, config=first.config))
        self.assertNotEqual(
            first, Context(client=first.client,
                           config=make_context(SNOWFLAKE__CONNECTION__ROLE="admin").config))

    def test_field_types_are_not_enforced(self):
        self.assertEqual(Context(client="c", config=7).config, 7)


class ScopeTest(unittest.TestCase):
    def setUp(self):
        self.a = make_context()
        self.b = make_context(SNOWFLAKE__CONNECTION__ROLE="other")

    def test_unset_until_installed(self):
        with self.assertRaises(LookupError):
            in_new_thread(get_context)

    def test_nested_scopes_restore_each_state(self):
        def nest():
            seen = []
            with with_context(self.a):
                seen.append(current())
                with with_context(self.b):
                    seen.append(current())
                seen.append(current())
            seen.append(current())
            return seen

        self.assertEqual(in_new_thread(nest), [self.a, self.b, self.a, None])

    def test_set_inside_a_scope_holds_until_the_scope_ends(self):
        def scope_then_set():
            with with_context(self.a):
                set_context(self.b)
                inside = current()
            return inside, current()

        self.assertEqual(in_new_thread(scope_then_set), (self.b, None))

    def test_a_failure_leaves_the_scope_restored_and_goes_on_unchanged(self):
        failure = KeyError("boom")

        def fail_inside():
            with with_context(self.a):
                with self.assertRaises(KeyError) as caught:
                    with with_context(self.b):
                        raise failure
                return caught.exception, current()

        raised, after = in_new_thread(fail_inside)
        self.assertIs(raised, failure)
        self.assertEqual(after, self.a)

    def test_each_thread_has_its_own_value(self):
        def installed_then_other_thread():
            with with_context(self.a):
                return in_new_thread(current), current()

        self.assertEqual(in_new_thread(installed_then_other_thread), (None, self.a))

    def test_tasks_started_inside_a_scope_inherit_it(self):
        async def main():
            with with_context(self.a):
                inherited = asyncio.create_task(self._current_later())
            return await inherited

        self.assertEqual(in_new_thread(lambda: asyncio.run(main())), self.a)

    @staticmethod
    async def _current_later():
        await asyncio.sleep(0)
        return current()


if __name__ == "__main__":
    unittest.main()
