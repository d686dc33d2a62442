"""The typed records of a Cortex Analyst semantic model and their YAML form."""

from orvane_semantic_agent._native.semantic_model import (
    BaseTable,
    CortexSearchService,
    Dimension,
    Fact,
    Filter,
    LogicalTable,
    Metric,
    PrimaryKey,
    Relationship,
    RelationshipColumn,
    SemanticModel,
    TimeDimension,
    ValidationError,
    YAMLError,
)
