"""The warehouse settings, the Cortex Analyst call and the stage upload."""

from orvane_semantic_agent._native.cortex import (
    NativeSnowflakeConnection,
    SnowflakeError,
    SnowflakeProvisioningConfig,
    call_snowflake_analyst,
    put_file,
)
