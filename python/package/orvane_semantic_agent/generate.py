"""The semantic model generator: from a few start datasets to a validated semantic model."""

from orvane_semantic_agent._native import generate as _native_generate

# Selects the tracking experiment and prepares the traced LLM call, from the process environment
# as it is now (before the entry module loads the .env file).
_native_generate.load_module()

from orvane_semantic_agent._native.generate import (  # noqa: E402
    MAX_QUERY_URNS_PER_TABLE,
    MAX_TOKENS_EXAMPLE_SQL,
    JoinedTables,
    SemanticModelGenerator,
    SourcedJoinInfo,
    _list_queries_gql,
    _token_count,
)
