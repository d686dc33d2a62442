"""The package version."""

from orvane_semantic_agent import _native

__version__ = version = _native.version
__version_tuple__ = version_tuple = _native.version_tuple

__all__ = _native.version_all
