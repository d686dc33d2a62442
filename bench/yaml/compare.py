"""Times the reference YAML library's dump and safe_load, pure path and C path, on the same tree
as bench/yaml/yaml_bench, in the same run, and prints our speed-up over each.

    /usr/bin/python3 bench/yaml/compare.py BUILD_DIR     (a Release build with yaml_bench)
"""

import json
import subprocess
import sys
import timeit

import yaml


# Our benchmark, and the reference operation it is measured against: a model's to_yaml against
# the reference's dump of the model's tree (the reference's own record dump not counted), and
# from_yaml (load plus validation) against its safe_load alone.
OPERATIONS = {"BM_Dump": "dump", "BM_SafeLoad": "safe_load", "BM_ToYaml": "to_yaml",
              "BM_FromYaml": "from_yaml", "BM_ModelDumpJson": "model_dump_json"}
REFERENCE_OF = {"dump": "dump", "safe_load": "safe_load", "to_yaml": "dump",
                "from_yaml": "safe_load"}


def best_seconds(function, repeat):
    return min(timeit.repeat(function, number=1, repeat=repeat))


def main():
    bench = sys.argv[1] + "/bin/yaml_bench"
    text = subprocess.run([bench, "--emit-yaml"], stdout=subprocess.PIPE, check=True).stdout.decode()
    tree = yaml.load(text, Loader=yaml.CSafeLoader)
    if yaml.dump(tree, sort_keys=False, Dumper=yaml.Dumper) != text:
        sys.exit("our dump differs from the reference's pure dump of the same tree")
    reference = {
        ("dump", "pure"): best_seconds(lambda: yaml.dump(tree, sort_keys=False, Dumper=yaml.Dumper), 5),
        ("dump", "C"): best_seconds(lambda: yaml.dump(tree, sort_keys=False, Dumper=yaml.CDumper), 5),
        ("safe_load", "pure"): best_seconds(lambda: yaml.load(text, Loader=yaml.SafeLoader), 5),
        ("safe_load", "C"): best_seconds(lambda: yaml.load(text, Loader=yaml.CSafeLoader), 5),
    }
    run = subprocess.run([bench, "--benchmark_format=json", "--benchmark_repetitions=5"],
                         stdout=subprocess.PIPE, check=True)
    # The best repetition on both sides, so that a busy machine skews neither.
    ours = {}
    scale = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}
    for row in json.loads(run.stdout)["benchmarks"]:
        if row.get("run_type") == "iteration":
            name = OPERATIONS[row["run_name"]]
            seconds = row["real_time"] * scale[row["time_unit"]]
            ours[name] = min(seconds, ours.get(name, seconds))
    print("tree: %d bytes of YAML, %d lines" % (len(text.encode()), text.count("\n")))
    for operation, seconds in ours.items():
        print("%-15s ours %8.3f ms" % (operation, seconds * 1e3))
        if operation not in REFERENCE_OF:
            continue
        for path in ["pure", "C"]:
            theirs = reference[(REFERENCE_OF[operation], path)]
            print("%-15s %-4s %8.3f ms   ratio %6.1fx" % (
                operation, path, theirs * 1e3, theirs / seconds))


if __name__ == "__main__":
    main()
