"""The MCP server "cortex_agent", its per-run resources and its one tool, run_cortex_analyst."""

import contextlib

from orvane_semantic_agent import generate  # noqa: F401  (its start-up work comes first)
from orvane_semantic_agent._native import cortex_analyst_mcp as _native_server

# Reads CORTEX_HARDCODED_MODEL_FILE once, from the process environment as it is now.
_native_server.load_module()

from orvane_semantic_agent._native.cortex_analyst_mcp import (  # noqa: E402
    AppContext,
    FastMCP,
    _execute_sql,
    run_cortex_analyst,
)

mcp = _native_server.server()
CORTEX_HARDCODED_MODEL_FILE = _native_server.hardcoded_model_file()


@contextlib.asynccontextmanager
async def _app_lifespan(app):
    """The resources of one server run for the installed context: one warehouse connection and
    one temporary directory; on exit the directory is deleted, then the connection closed."""
    app_context = _native_server._open_app_context()
    try:
        yield app_context
    finally:
        _native_server._close_app_context(app_context)


if __name__ == "__main__":
    raise NotImplementedError("Execute using `uv run orvane-semantic-agent`")
