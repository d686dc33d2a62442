"""Join lineage of SQL texts: the tables on each side of every JOIN."""

from orvane_semantic_agent._native.sqlglot_lineage import (
    ColumnInvolved,
    JoinInfo,
    SqlParsingResult,
    parse_sql_lineage,
)
