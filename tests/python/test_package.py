import os
import subprocess
import sys
import tempfile
import unittest

import orvane_semantic_agent


class PackageTest(unittest.TestCase):
    def test_version_in_every_spelling(self):
        self.assertEqual(orvane_semantic_agent.__version__, "0.1.3")
        self.assertEqual(orvane_semantic_agent.version, "0.1.3")
        self.assertEqual(orvane_semantic_agent.__version_tuple__, (0, 1, 3))
        self.assertEqual(orvane_semantic_agent.version_tuple, (0, 1, 3))

    def test_main_runs_the_server_entry(self):
        # Without the catalogue's settings the entry fails before it serves anything.
        with tempfile.TemporaryDirectory() as directory:
            env = {"PATH": os.environ.get("PATH", "/usr/bin"),
                   "PYTHONPATH": os.environ.get("PYTHONPATH", "")}
            finished = subprocess.run(
                [sys.executable, "-c", "import orvane_semantic_agent; orvane_semantic_agent.main()"],
                cwd=directory, env=env, stdin=subprocess.DEVNULL, capture_output=True, text=True,
                timeout=60)
        self.assertNotEqual(finished.returncode, 0)
        self.assertEqual(finished.stdout, "")
        self.assertIn("ValidationError: 1 validation error for OrvaneClient", finished.stderr)
        self.assertIn("ORVANE_SERVER_URL", finished.stderr)


if __name__ == "__main__":
    unittest.main()
