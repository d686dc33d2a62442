"""The catalogue client."""

from orvane_semantic_agent._native.main_client import OrvaneClient
