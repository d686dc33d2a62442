#!/usr/bin/python3
"""Times our join parser and Debian's python3-sqlglot on the same corpus, in one run.

    /usr/bin/python3 bench/sql_parsing/compare_with_sqlglot.py [--bench BUILD/bin/sql_parsing_bench]

Prints both throughputs in MB/s (single thread) and their ratio. The corpus is the labelled
join corpus in tests/data/sql_joins, as the benchmark program reads it. sqlglot parses each text
with read="snowflake"; a text it rejects still counts (its time is spent all the same).
The two are timed in turn, in seven short rounds; each round gives a ratio, and the medians
are printed, so that a burst of other load on the machine slows neither side alone. Both sides
count the CPU time of their process, as the benchmark library does for ours.
"""
import argparse
import json
import os
import statistics
import subprocess
import sys
import tempfile
import time

import sqlglot

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))


ROUNDS = 7


def our_bytes_per_second(bench):
    out = subprocess.run(
        [bench, "--benchmark_filter=BM_ParseCorpus", "--benchmark_format=json",
         "--benchmark_min_time=0.5"],
        check=True, capture_output=True, text=True).stdout
    return json.loads(out)["benchmarks"][0]["bytes_per_second"]


def corpus(bench):
    with tempfile.TemporaryDirectory() as scratch:
        path = os.path.join(scratch, "corpus.jsonl")
        subprocess.run([bench, "--dump-corpus", path], check=True)
        with open(path, encoding="utf-8") as lines:
            return [json.loads(line) for line in lines]


def sqlglot_bytes_per_second(texts, min_seconds=0.5):
    size = sum(len(text.encode("utf-8")) for text in texts)
    rejected = 0
    rounds = 0
    start = time.process_time()
    while True:
        for text in texts:
            try:
                sqlglot.parse(text, read="snowflake")
            except Exception:  # the reference rejects some dialect corners; time counts anyway
                rejected += rounds == 0
        rounds += 1
        elapsed = time.process_time() - start
        if elapsed >= min_seconds:
            return size * rounds / elapsed, rejected


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--bench", default=os.path.join(ROOT, "build", "bin", "sql_parsing_bench"))
    args = parser.parse_args()
    texts = corpus(args.bench)
    ours, theirs, ratios = [], [], []
    for _ in range(ROUNDS):
        ours.append(our_bytes_per_second(args.bench))
        speed, rejected = sqlglot_bytes_per_second(texts)
        theirs.append(speed)
        ratios.append(ours[-1] / speed)
    print(f"corpus: {len(texts)} texts, {sum(len(t.encode()) for t in texts)} bytes")
    print(f"orvane sql_parsing: {statistics.median(ours) / 1e6:8.2f} MB/s")
    print(f"sqlglot {sqlglot.__version__:>10}: {statistics.median(theirs) / 1e6:8.2f} MB/s "
          f"({rejected} texts rejected)")
    print(f"ratio: {statistics.median(ratios):.0f}x "
          f"(rounds from {min(ratios):.0f}x to {max(ratios):.0f}x)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
