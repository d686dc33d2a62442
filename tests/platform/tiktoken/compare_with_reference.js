// Compares token_count_driver with the reference encoder (npm tiktoken, o200k_base) on a few
// hundred generated texts, token id by token id.
//
//   node tests/platform/tiktoken/compare_with_reference.js DRIVER [--all-code-points]
//
// With --all-code-points it also probes every code point in several contexts (slow: a minute);
// by default it probes all code points below U+3400 and a sample of the rest.
// Exits non-zero on any difference, and when the reference package is not installed.
"use strict";

const { spawnSync } = require("child_process");
const path = require("path");

const kReferencePath = path.join(__dirname, "..", "..", "npm", "node_modules", "tiktoken");

function loadReference() {
  try {
    return require(kReferencePath);
  } catch (e) {
    console.error(`reference encoder missing at ${kReferencePath} (run scripts/npm-deps.sh): ${e.message}`);
    process.exit(1);
  }
}

// Deterministic pseudo-random numbers (mulberry32).
function makeRandom(seed) {
  let state = seed >>> 0;
  const next = () => {
    state = (state + 0x6d2b79f5) >>> 0;
    let t = state;
    t = Math.imul(t ^ (t >>> 15), t | 1);
    t ^= t + Math.imul(t ^ (t >>> 7), t | 61);
    return ((t ^ (t >>> 14)) >>> 0) / 4294967296;
  };
  return {
    int: (n) => Math.floor(next() * n),
    pick: (list) => list[Math.floor(next() * list.length)],
  };
}

const kWords = {
  latin: ["customer", "Order", "ÉTÉ", "naïve", "façade", "Zürich", "crème", "São", "Ångström", "ĳssel"],
  decomposed: ["e\u0301te\u0301", "A\u030Angstro\u0308m", "n\u0303", "Z\u0336a\u0337l\u0338g\u0335o\u0334"],
  cyrillic: ["Привет", "мир", "ЗАКАЗ", "клиентов", "Ёлка", "ВЫБРАТЬ"],
  cjk: ["漢字", "数据库", "テーブル", "ひらがな", "한국어", "顧客の注文"],
  arabic: ["مرحبا", "بالعالم", "العملاء", "٣٤٥", "שלום", "עולם"],
  indic: ["नमस्ते", "दुनिया", "ภาษาไทย", "தமிழ்"],
  emoji: ["👍", "👨‍👩‍👧‍👦", "🏳️‍🌈", "👋🏽", "🇫🇷", "❤️", "🧑🏿‍💻", "1️⃣"],
  special: ["<|endoftext|>", "<|endofprompt|>", "<|fim_prefix|>", "<|im_start|>"],
  contraction: ["don't", "DON'T", "we're", "WE'RE", "they've", "THEY'VE", "I'm", "I'M", "you'll",
    "YOU'LL", "she'd", "SHE'D", "it's", "IT'S", "it'ſ", "IT'ſ", "o'clock", "rock'n'roll", "'s", "'Re", "'lL", "x'vE"],
  digits: ["0", "12", "123", "1234", "1234567890", "3.14159", "1,000,000", "٣٤٥٦", "３４５", "²³", "Ⅻ", "½", "007"],
  spaces: [" ", "  ", "\t", "\t\t", "\n", "\r\n", "\r\n\r\n", " \n ", "\u00a0", "\u3000", "\u0085",
    "\ufeff", "\u180e", "\u2028", "\u200b", "\u2003\u2003", " \t\r\n  ", "\n\n\n"],
  symbols: ["!", "...", "--", "/*", "*/", "//", "=>", "!=", "'", "\"", "(", ")", ";", "::", "€", "™", "©", "§", "\\", "@@"],
};

const kSqlTables = ["orders", "customers", "LINE_ITEMS", "dim_date", "\"Mixed Case\"", "analytics.fact_sales"];
const kSqlColumns = ["id", "customer_id", "order_date", "AMOUNT", "status", "région", "名前", "qty"];

function sqlStatement(random) {
  const a = random.pick(kSqlTables), b = random.pick(kSqlTables);
  const cols = Array.from({ length: 1 + random.int(4) }, () => `t1.${random.pick(kSqlColumns)}`);
  const parts = [
    `SELECT ${cols.join(", ")}, COUNT(*) AS n_${random.int(100)}`,
    `FROM ${a} t1`,
    `${random.pick(["LEFT OUTER JOIN", "INNER JOIN", "join", "FULL JOIN"])} ${b} t2 ON t1.${random.pick(kSqlColumns)} = t2.${random.pick(kSqlColumns)}`,
    `WHERE t1.amount > ${random.int(100000)}.${random.int(100)} AND t2.status IN ('OPEN', 'it''s', 'N/A')`,
    random.int(3) === 0 ? `  -- ${random.pick(kWords.special)} ${random.pick(kWords.latin)}'s note` : "",
    random.int(3) === 0 ? `/* ${random.pick(kWords.cjk)} ${random.pick(kWords.cyrillic)} */` : "",
    `GROUP BY 1\r\nORDER BY n_${random.int(10)} DESC\tLIMIT ${random.int(1000)};`,
  ];
  return parts.filter((p) => p !== "").join(random.pick(["\n", "\r\n", " ", "\n    ", "\n\n"]));
}

function sqlOfSize(random, size) {
  let text = "";
  while (text.length < size) text += sqlStatement(random) + "\n\n";
  return text.slice(0, size).replace(/[\uD800-\uDBFF]$/, "");
}

function mixedText(random, pieces) {
  const groups = Object.keys(kWords);
  let text = "";
  for (let i = 0; i < pieces; ++i) {
    text += random.pick(kWords[random.pick(groups)]);
    if (random.int(3) !== 0) text += random.pick(kWords.spaces);
  }
  return text;
}

function generatedTexts() {
  const random = makeRandom(20240601);
  const texts = ["", " ", "a", "\n", "SELECT 1", "hello world", "Hello, World!", "<|endoftext|>",
    "a<|endoftext|>b", "-- <|endofprompt|>\nSELECT 1", "x'ſ", "X'ſ", "don'ſ", "A\u0301B", "\u0301",
    "\u0301A", "ǅungla ǈ", "ᾈᾉ", "ʰʱ", "ABCdef", "ABC'S", "abc's", "ABC'DEF", "abc 'll", "123'S"];
  for (const group of Object.values(kWords)) {
    texts.push(group.join(""), group.join(" "), group.join("\n"));
  }
  for (const size of [1, 2, 5, 10, 50, 100, 500, 1000, 5000, 20000, 60000]) {
    texts.push(sqlOfSize(random, size));
  }
  for (let i = 0; i < 80; ++i) texts.push(sqlStatement(random));
  for (let i = 0; i < 150; ++i) texts.push(mixedText(random, 1 + random.int(40)));
  // Runs of one class, and long words without spaces (the reference is quadratic on them).
  for (const unit of ["a", "A", "1", " ", "\t", "\r\n", "!", "é", "漢", "👍", "ab", "\u0301", "Zz"]) {
    for (const n of [1, 2, 3, 4, 7, 64, 300]) texts.push(unit.repeat(n));
  }
  texts.push("Donaudampfschifffahrtsgesellschaftskapitän".repeat(40));
  texts.push(Array.from({ length: 3000 }, () => random.pick(["a", "b", "c", "x", "y"])).join(""));
  // Whitespace in every combination of two and three kinds, followed by text or by nothing.
  for (const first of kWords.spaces) {
    for (const second of kWords.spaces.slice(0, 8)) {
      texts.push(`x${first}${second}y`, `${first}${second}`, `!${first}${second}1`);
    }
  }
  return texts;
}

// Every code point in contexts that exercise each alternative of the pattern. `step` thins out
// the code points above U+3400.
function codePointTexts(step) {
  const texts = [];
  let text = "";
  for (let cp = 0; cp < 0x110000; cp += cp < 0x3400 ? 1 : step) {
    if (cp >= 0xd800 && cp <= 0xdfff) continue;
    const c = String.fromCodePoint(cp);
    text += `x${c}'s ${c}A${c}b ${c}${c}1${c}22 '${c} ${c}\n${c}!${c} ${c}\r`;
    if (text.length > 4000) {
      texts.push(text);
      text = "";
    }
  }
  texts.push(text);
  return texts;
}

function runDriver(driver, texts) {
  const input = texts.map((text) => JSON.stringify({ text })).join("\n") + "\n";
  const run = spawnSync(driver, ["--tokens"], { input, maxBuffer: 1 << 30, encoding: "utf8" });
  if (run.status !== 0) {
    console.error(`driver failed (status ${run.status}): ${run.stderr}`);
    process.exit(1);
  }
  return run.stdout.trimEnd().split("\n").map((line) => JSON.parse(line));
}

function main() {
  const args = process.argv.slice(2);
  if (args.length < 1) {
    console.error("usage: compare_with_reference.js DRIVER [--all-code-points]");
    process.exit(2);
  }
  const reference = loadReference();
  const encoding = reference.encoding_for_model("gpt-4o-mini");

  // The fault the driver mends: called plainly, the reference refuses special-token text.
  let refused = false;
  try {
    encoding.encode("SELECT 1 -- <|endoftext|>");
  } catch (e) {
    refused = true;
  }
  if (!refused) console.error("note: the reference no longer refuses special-token text");

  const texts = generatedTexts().concat(codePointTexts(args.includes("--all-code-points") ? 1 : 97));
  const answers = runDriver(args[0], texts);
  let failures = 0;
  texts.forEach((text, i) => {
    // Special-token texts as ordinary text: neither allowed as specials nor refused.
    const expected = Array.from(encoding.encode(text, [], []));
    const got = answers[i] || {};
    const same = got.count === expected.length && JSON.stringify(got.tokens) === JSON.stringify(expected);
    if (!same && ++failures <= 10) {
      let at = 0;
      while (got.tokens && at < expected.length && got.tokens[at] === expected[at]) ++at;
      console.error(`text ${i} ${JSON.stringify(text.slice(0, 120))}: count ${got.count} vs ${expected.length}; ` +
        `first difference at token ${at}: ${JSON.stringify((got.tokens || []).slice(at, at + 5))} vs ` +
        `${JSON.stringify(expected.slice(at, at + 5))} near ${JSON.stringify(new TextDecoder().decode(encoding.decode(new Uint32Array(expected.slice(Math.max(0, at - 3), at + 3)))))}`);
    }
  });
  encoding.free();
  console.log(`${texts.length} texts, ${failures} differ from the reference`);
  process.exit(failures === 0 ? 0 : 1);
}

main();
