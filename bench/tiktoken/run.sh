#!/usr/bin/env bash
# Side-by-side throughput of our o200k_base encoder and npm tiktoken's, single thread, on the same
# 10 MB corpora; prints both and the ratio. Needs a Release build and tests/npm/node_modules.
#
#   bench/tiktoken/run.sh BUILD_DIR [NODE]     (e.g. build/release; NODE defaults to node)
set -euo pipefail
build_dir="${1:?usage: run.sh BUILD_DIR [NODE]}"
node="${2:-node}"
here="$(cd "$(dirname "$0")" && pwd)"
corpus="$(mktemp -d)"
trap 'rm -rf "$corpus"' EXIT

ours="$("$build_dir/bin/tiktoken_bench" "$corpus")"
reference="$("$node" "$here/reference_bench.js" "$corpus")"
"$node" - "$ours" "$reference" <<'JS'
const parse = (text) => text.trim().split("\n").map((line) => JSON.parse(line));
const [ours, reference] = [parse(process.argv[2]), parse(process.argv[3])];
const row = (who, r) => console.log(`${who.padEnd(10)} ${r.corpus.padEnd(6)} ${r.mb_per_s.toFixed(2).padStart(8)} MB/s ` +
  `${(r.tokens_per_s / 1e6).toFixed(2).padStart(7)} Mtokens/s  (${r.tokens} tokens)`);
console.log(`start-up: ours ${ours[0].first_encode_ms.toFixed(3)} ms (first encode), npm tiktoken ${reference[0].load_ms.toFixed(1)} ms (load)`);
for (const corpus of ["sql", "mixed"]) {
  const a = ours.find((r) => r.corpus === corpus), b = reference.find((r) => r.corpus === corpus);
  row("ours", a);
  row("npm", b);
  if (a.tokens !== b.tokens) console.log(`WARNING: token counts differ on ${corpus}`);
  console.log(`ratio      ${corpus.padEnd(6)} ${(a.mb_per_s / b.mb_per_s).toFixed(1)}x`);
}
JS
