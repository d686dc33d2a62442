"""The installed packages as a user meets them: module layout, the version module and the
process entry."""

import importlib
import os
import subprocess
import sys
import tempfile
import unittest

from support import INSTALL_PREFIX

# Each public module and names it must hold.
MODULE_NAMES = {
    "orvane_semantic_agent.semantic_model": ["SemanticModel", "LogicalTable", "ValidationError",
                                             "YAMLError"],
    "orvane_semantic_agent.generate": ["SemanticModelGenerator", "MAX_QUERY_URNS_PER_TABLE",
                                       "MAX_TOKENS_EXAMPLE_SQL", "_list_queries_gql",
                                       "_token_count"],
    "orvane_semantic_agent.cortex": ["SnowflakeProvisioningConfig", "call_snowflake_analyst",
                                     "put_file", "NativeSnowflakeConnection", "SnowflakeError"],
    "orvane_semantic_agent.cortex_analyst_mcp": ["mcp", "AppContext", "run_cortex_analyst",
                                                 "_execute_sql", "_app_lifespan",
                                                 "CORTEX_HARDCODED_MODEL_FILE"],
    "orvane_semantic_agent._context": ["Context", "get_context", "set_context", "with_context"],
    "orvane_semantic_agent._version": ["__version__", "version", "__version_tuple__",
                                       "version_tuple"],
    "orvane_semantic_agent.__main__": ["main"],
    "orvane.sdk.main_client": ["OrvaneClient"],
    "orvane.metadata.urns": ["Urn", "DatasetUrn", "QueryUrn"],
}


def run_python(*arguments, cwd, env=None, timeout=60):
    environment = {"PATH": os.environ.get("PATH", "/usr/bin"),
                   "PYTHONPATH": os.environ["PYTHONPATH"]}
    environment.update(env or {})
    return subprocess.run([sys.executable, *arguments], cwd=cwd, env=environment,
                          stdin=subprocess.DEVNULL, capture_output=True, text=True,
                          timeout=timeout)


class LayoutTest(unittest.TestCase):
    def test_every_module_imports_from_the_install_with_its_names(self):
        for name, members in MODULE_NAMES.items():
            with self.subTest(module=name):
                module = importlib.import_module(name)
                self.assertTrue(module.__file__.startswith(INSTALL_PREFIX), module.__file__)
                for member in members:
                    self.assertTrue(hasattr(module, member), member)

    def test_classes_show_their_public_module(self):
        from orvane_semantic_agent.cortex import SnowflakeError
        from orvane_semantic_agent.generate import SemanticModelGenerator
        from orvane_semantic_agent.semantic_model import ValidationError
        from orvane.metadata.urns import DatasetUrn
        self.assertEqual(SemanticModelGenerator.__module__, "orvane_semantic_agent.generate")
        self.assertEqual(ValidationError.__module__, "orvane_semantic_agent.semantic_model")
        self.assertEqual(SnowflakeError.__module__, "orvane_semantic_agent.cortex")
        self.assertEqual(DatasetUrn.__module__, "orvane.metadata.urns")

    def test_the_package_itself_defines_nothing(self):
        with tempfile.TemporaryDirectory() as directory:
            finished = run_python(
                "-c", "import orvane_semantic_agent as p; "
                      "print(sorted(n for n in vars(p) if not n.startswith('__')))",
                cwd=directory)
        self.assertEqual(finished.returncode, 0, finished.stderr)
        self.assertEqual(finished.stdout, "[]\n")

    def test_version_module(self):
        from orvane_semantic_agent import _version
        self.assertEqual(_version.__version__, "0.1.3")
        self.assertEqual(_version.version, "0.1.3")
        self.assertEqual(_version.__version_tuple__, (0, 1, 3))
        self.assertEqual(_version.version_tuple, (0, 1, 3))
        self.assertEqual(list(_version.__all__),
                         ["__version__", "__version_tuple__", "version", "version_tuple"])

    def test_generator_module_constants(self):
        from orvane_semantic_agent import generate
        self.assertEqual(generate.MAX_QUERY_URNS_PER_TABLE, 10)
        self.assertEqual(generate.MAX_TOKENS_EXAMPLE_SQL, 15000)
        self.assertIn("listQueries", generate._list_queries_gql)
        self.assertEqual(generate._token_count(""), 0)
        self.assertEqual(generate._token_count("hello world"), 2)


class EntryTest(unittest.TestCase):
    def test_running_the_package_without_settings_fails_before_serving(self):
        with tempfile.TemporaryDirectory() as directory:
            finished = run_python("-m", "orvane_semantic_agent", cwd=directory)
        self.assertNotEqual(finished.returncode, 0)
        self.assertEqual(finished.stdout, "")
        self.assertIn("ValidationError: 1 validation error for OrvaneClient", finished.stderr)
        self.assertIn("ORVANE_SERVER_URL", finished.stderr)

    def test_loading_the_entry_as_a_library_reads_dotenv_after_the_modules_and_starts_nothing(self):
        with tempfile.TemporaryDirectory() as directory:
            with open(os.path.join(directory, ".env"), "w") as file:
                file.write("FROM_DOTENV=seen\nKEPT=from-dotenv\n"
                           "CORTEX_HARDCODED_MODEL_FILE=/only/in/dotenv.yml\n")
            finished = run_python(
                "-c", "import os, orvane_semantic_agent.__main__ as entry; "
                      "from orvane_semantic_agent import cortex_analyst_mcp as server; "
                      "print(os.environ['FROM_DOTENV'], os.environ['KEPT'], "
                      "server.CORTEX_HARDCODED_MODEL_FILE, callable(entry.main))",
                cwd=directory, env={"KEPT": "from-process"}, timeout=30)
        self.assertEqual(finished.returncode, 0, finished.stderr)
        self.assertEqual(finished.stdout, "seen from-process None True\n")

    def test_running_the_server_module_directly_is_refused(self):
        with tempfile.TemporaryDirectory() as directory:
            finished = run_python("-m", "orvane_semantic_agent.cortex_analyst_mcp", cwd=directory)
        self.assertNotEqual(finished.returncode, 0)
        self.assertIn("NotImplementedError: Execute using `uv run orvane-semantic-agent`",
                      finished.stderr)

    def test_serving_without_an_installed_context_fails_with_lookup_error(self):
        from orvane_semantic_agent.cortex_analyst_mcp import mcp
        with self.assertRaises(LookupError):
            mcp.run(show_banner=False)


if __name__ == "__main__":
    unittest.main()
