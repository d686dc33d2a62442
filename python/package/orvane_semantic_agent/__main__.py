"""The process entry: `python3 -m orvane_semantic_agent` runs the MCP server on stdin/stdout."""

from orvane.sdk.main_client import OrvaneClient
from orvane_semantic_agent._native import load_dotenv
from orvane_semantic_agent._context import Context, with_context
from orvane_semantic_agent.cortex import SnowflakeProvisioningConfig
from orvane_semantic_agent.cortex_analyst_mcp import mcp

# After the modules above: what they read from the environment while loading comes from the
# process environment alone.
load_dotenv()


def main():
    """Serves MCP until end of input, SIGINT or SIGTERM, with the catalogue client and the
    warehouse settings from the environment installed as the process-wide context."""
    client = OrvaneClient.from_env()
    config = SnowflakeProvisioningConfig.from_env()
    with with_context(Context(client=client, config=config)):
        mcp.run(show_banner=False)


if __name__ == "__main__":
    main()
