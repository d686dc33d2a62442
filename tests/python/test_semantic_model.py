import datetime
import json
import unittest

import yaml

from orvane_semantic_agent import semantic_model
from orvane_semantic_agent.semantic_model import (
    BaseTable,
    Dimension,
    Fact,
    LogicalTable,
    PrimaryKey,
    Relationship,
    SemanticModel,
    ValidationError,
)


def make_table(name, **fields):
    return LogicalTable(
        name=name,
        base_table=BaseTable(database="snowflake", schema="metadata", table=name),
        **fields,
    )


class ConstructionTest(unittest.TestCase):
    def test_keywords_use_keys_and_fields_read_by_name(self):
        base = BaseTable(database="d", schema="s", table="t", extra="dropped")
        self.assertEqual(base.schema_name, "s")
        self.assertEqual(base.model_dump(), {"database": "d", "schema": "s", "table": "t"})
        with self.assertRaises(TypeError):
            BaseTable("d", "s", "t")

    def test_records_passed_in_are_shared_not_copied(self):
        table = make_table("orders")
        first = SemanticModel(name="a", tables=[table])
        second = SemanticModel.model_validate({"name": "b", "tables": [table, {"name": "x", "base_table": table.base_table}]})
        self.assertIs(first.tables[0], table)
        self.assertIs(second.tables[0], table)
        self.assertIs(second.tables[1].base_table, table.base_table)
        table.primary_key = PrimaryKey(columns=["id"])
        self.assertEqual(first.tables[0].primary_key.columns, ["id"])
        self.assertEqual(second.model_dump(exclude_defaults=True)["tables"][0]["primary_key"], {"columns": ["id"]})

    def test_validation_error_lists_every_failure_once(self):
        with self.assertRaises(ValidationError) as caught:
            SemanticModel(
                name="m",
                tables=[
                    {"name": "a", "base_table": {"database": "d", "schema": "s"}},
                    {"name": 7, "base_table": {"database": "d", "schema": "s", "table": "t"}},
                ],
                relationships=[{"name": "r", "left_table": "a", "right_table": "b",
                                "relationship_columns": [], "join_type": "LEFT_OUTER",
                                "relationship_type": "many_to_one"}],
            )
        message = str(caught.exception)
        self.assertTrue(message.startswith("3 validation errors for SemanticModel\n"), message)
        for location in ("tables.0.base_table.table", "tables.1.name", "relationships.0.join_type"):
            self.assertIn("\n" + location + "\n", message)
        self.assertIsInstance(caught.exception, ValueError)

    def test_text_and_boolean_fields_take_only_their_kind(self):
        for bad in ({"name": datetime.date(2024, 1, 1)}, {"is_enum": 1}, {"synonyms": "one"},
                    {"sample_values": [{1, 2}]}):
            with self.subTest(bad=bad), self.assertRaises(ValidationError):
                Dimension(**{"name": "n", "expr": "e", "data_type": "T", **bad})


class AssignmentTest(unittest.TestCase):
    def test_assignment_converts_without_checking_the_rest(self):
        table = make_table("orders")
        table.primary_key = {"columns": ["id"]}
        self.assertIsInstance(table.primary_key, PrimaryKey)
        table.description = None
        table.dimensions = []
        self.assertEqual(table.dimensions, [])
        with self.assertRaises(ValidationError):
            table.name = 5
        self.assertEqual(table.name, "orders")


class DumpTest(unittest.TestCase):
    def setUp(self):
        self.model = SemanticModel(
            name="semantic_model",
            tables=[make_table("queries", primary_key=PrimaryKey(columns=["query_urn"]),
                               facts=[Fact(name="n", expr="n", data_type="NUMBER", description="caf\u00e9 \"x\"",
                                           sample_values=[1, None, "a", 10**30, {"k": None}])])],
            relationships=[Relationship(name="r: a", left_table="queries", right_table="queries",
                                        relationship_columns=[{"left_column": "a", "right_column": "b"}],
                                        join_type="inner", relationship_type="one_to_one")],
        )

    def test_json_text_matches_python_json_layouts(self):
        full = self.model.model_dump()
        self.assertEqual(self.model.model_dump_json(), json.dumps(full, separators=(",", ":"), ensure_ascii=False))
        self.assertEqual(self.model.model_dump_json(indent=2), json.dumps(full, indent=2, ensure_ascii=False))
        lean = self.model.model_dump(exclude_defaults=True)
        self.assertNotIn("description", lean)
        self.assertEqual(lean["tables"][0]["facts"][0]["sample_values"][4], {"k": None})
        self.assertEqual(self.model.model_dump_json(exclude_defaults=True),
                         json.dumps(lean, separators=(",", ":"), ensure_ascii=False))

    def test_dates_keep_their_kind_in_fields_and_become_text_in_dumps(self):
        moment = datetime.datetime(2024, 2, 29, 10, 20, 30, 5, tzinfo=datetime.timezone(datetime.timedelta(hours=-1)))
        fact = Fact(name="d", expr="d", data_type="DATE",
                    sample_values=[datetime.date(2024, 2, 29), moment,
                                   datetime.datetime(2024, 1, 1, tzinfo=datetime.timezone.utc)])
        self.assertEqual(fact.sample_values[1], moment)
        self.assertEqual(fact.model_dump()["sample_values"],
                         ["2024-02-29", "2024-02-29T10:20:30.000005-01:00", "2024-01-01T00:00:00Z"])
        with self.assertRaises(ValueError):
            fact.model_dump(mode="python")


WORKED_EXAMPLE_YAML = """\
name: semantic_model
tables:
- name: queries
  base_table:
    database: snowflake
    schema: metadata
    table: queries
  primary_key:
    columns:
    - query_urn
  filters:
  - name: system_queries
    expr: source = 'SYSTEM'
    synonyms:
    - system
- name: datasets
  base_table:
    database: snowflake
    schema: metadata
    table: datasets
  primary_key:
    columns:
    - urn
relationships:
- name: queries_datasets
  left_table: queries
  right_table: datasets
  relationship_columns:
  - left_column: dataset
    right_column: urn
  join_type: left_outer
  relationship_type: many_to_one
"""


class WorkedExampleTest(unittest.TestCase):
    def test_dump_without_defaults_is_what_the_reference_writes_as_the_model_yaml(self):
        model = SemanticModel(
            name="semantic_model",
            tables=[
                make_table("queries", primary_key={"columns": ["query_urn"]},
                           filters=[{"name": "system_queries", "expr": "source = 'SYSTEM'", "synonyms": ["system"]}]),
                make_table("datasets", primary_key={"columns": ["urn"]}),
            ],
            relationships=[{"name": "queries_datasets", "left_table": "queries", "right_table": "datasets",
                            "relationship_columns": [{"left_column": "dataset", "right_column": "urn"}],
                            "join_type": "left_outer", "relationship_type": "many_to_one"}],
        )
        self.assertEqual(yaml.dump(model.model_dump(exclude_defaults=True), sort_keys=False), WORKED_EXAMPLE_YAML)
        back = SemanticModel.model_validate(yaml.safe_load(WORKED_EXAMPLE_YAML))
        self.assertEqual(back.model_dump(), model.model_dump())
        self.assertEqual(model.to_yaml(), WORKED_EXAMPLE_YAML)
        self.assertEqual(SemanticModel.from_yaml(yaml_text=WORKED_EXAMPLE_YAML).model_dump(), model.model_dump())

    def test_yaml_failures_are_the_module_exceptions(self):
        with self.assertRaises(semantic_model.YAMLError):
            SemanticModel.from_yaml("name: [unclosed")
        with self.assertRaises(ValidationError):
            SemanticModel.from_yaml("")


class ModuleTest(unittest.TestCase):
    def test_submodule_and_exceptions(self):
        self.assertIs(semantic_model.ValidationError, ValidationError)
        self.assertTrue(issubclass(ValidationError, ValueError))
        self.assertTrue(issubclass(semantic_model.YAMLError, Exception))


if __name__ == "__main__":
    unittest.main()
