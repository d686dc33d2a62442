// The reference encoder's (npm tiktoken) throughput on the corpora that tiktoken_bench wrote,
// and the time it takes to load its table. Prints one JSON line per corpus and one for loading.
//
//   node bench/tiktoken/reference_bench.js CORPUS_DIR
"use strict";

const fs = require("fs");
const path = require("path");

const loadStart = process.hrtime.bigint();
const tiktoken = require(path.join(__dirname, "..", "..", "tests", "npm", "node_modules", "tiktoken"));
const encoding = tiktoken.encoding_for_model("gpt-4o-mini");
encoding.encode("SELECT customer_id FROM orders", [], []);
console.log(JSON.stringify({ load_ms: Number(process.hrtime.bigint() - loadStart) / 1e6 }));

for (const corpus of ["sql", "mixed"]) {
  const raw = fs.readFileSync(path.join(process.argv[2], `${corpus}.txt`));
  const docs = raw.toString("utf8").split("\0").slice(0, -1);
  const bytes = raw.length - docs.length;
  let best = Infinity;
  let tokens = 0;
  for (let round = 0; round < 3; ++round) {
    tokens = 0;
    const start = process.hrtime.bigint();
    for (const doc of docs) tokens += encoding.encode(doc, [], []).length;
    best = Math.min(best, Number(process.hrtime.bigint() - start) / 1e9);
  }
  console.log(JSON.stringify({ corpus, bytes, tokens, seconds: best, mb_per_s: bytes / best / 1e6, tokens_per_s: tokens / best }));
}
encoding.free();
