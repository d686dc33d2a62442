import unittest

import orvane_semantic_agent


class PackageTest(unittest.TestCase):
    def test_version_in_every_spelling(self):
        self.assertEqual(orvane_semantic_agent.__version__, "0.1.3")
        self.assertEqual(orvane_semantic_agent.version, "0.1.3")
        self.assertEqual(orvane_semantic_agent.__version_tuple__, (0, 1, 3))
        self.assertEqual(orvane_semantic_agent.version_tuple, (0, 1, 3))


if __name__ == "__main__":
    unittest.main()
