"""Row records of typed tables as the reference gives them.

Reads a JSON list of tables on stdin, each {"columns": [{"name", "type", "scale"}], "rows":
[[cell, ...], ...]} with cells as texts (or booleans or null), turns every cell into the Python
object the warehouse connector delivers for its column type, loads the table with
pandas.read_sql through a DB-API connection, and prints one compact JSON line per table: the
value of json.loads(df.to_json(orient="records")), or {"error": "<kind>: <message>"}.
"""

import datetime
import decimal
import json
import sys
import warnings

import pandas

# pandas warns that it only knows SQLAlchemy and sqlite3 connections; a DB-API one works alike.
warnings.simplefilter("ignore")


def python_value(column, cell):
    if cell is None:
        return None
    kind = column["type"]
    if kind == "fixed":
        return int(cell) if column["scale"] == 0 else decimal.Decimal(cell)
    if kind == "real":
        return float(cell)
    if kind == "date":
        return datetime.date.fromisoformat(cell)
    if kind.startswith("timestamp"):
        return datetime.datetime.fromisoformat(cell)
    if kind == "time":
        return datetime.time.fromisoformat(cell)
    return cell


class Cursor:
    def __init__(self, table):
        columns = table["columns"]
        self.description = [(c["name"], None, None, None, None, None, None) for c in columns]
        self.rows = [tuple(python_value(c, v) for c, v in zip(columns, row)) for row in table["rows"]]

    def execute(self, *args):
        return self

    def fetchall(self):
        return self.rows

    def close(self):
        pass


class Connection:
    def __init__(self, table):
        self.table = table

    def cursor(self):
        return Cursor(self.table)

    def commit(self):
        pass


for table in json.load(sys.stdin):
    frame = pandas.read_sql("SELECT 1", Connection(table))
    try:
        result = json.loads(frame.to_json(orient="records"))
    except Exception as error:  # the failure's kind and text are what is compared
        result = {"error": f"{type(error).__name__}: {error}"}
    print(json.dumps(result, separators=(",", ":")))
