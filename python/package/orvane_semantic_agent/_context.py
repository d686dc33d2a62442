"""The process-wide context: the catalogue client and the warehouse settings of the server run.

The value belongs to the flow of execution that sets it (a thread, or an asyncio task and the
tasks it starts afterwards), as a context variable's does.
"""

import contextlib
import contextvars
import dataclasses

from orvane.sdk.main_client import OrvaneClient
from orvane_semantic_agent.cortex import SnowflakeProvisioningConfig


@dataclasses.dataclass(frozen=True)
class Context:
    client: OrvaneClient
    config: SnowflakeProvisioningConfig


_semantic_agent_context: contextvars.ContextVar[Context] = contextvars.ContextVar(
    "_semantic_agent_context"
)


def get_context() -> Context:
    """The installed context; LookupError when none is."""
    return _semantic_agent_context.get()


def set_context(context: Context) -> None:
    """Installs the context until it is set again or an enclosing with_context scope ends."""
    _semantic_agent_context.set(context)


@contextlib.contextmanager
def with_context(context: Context):
    """Installs the context for the block, then restores exactly the state from before."""
    token = _semantic_agent_context.set(context)
    try:
        yield
    finally:
        _semantic_agent_context.reset(token)
