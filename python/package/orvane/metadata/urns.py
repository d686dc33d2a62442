"""Typed catalogue urns."""

from orvane_semantic_agent._native.urns import DataPlatformUrn, DatasetUrn, QueryUrn, Urn
