// The whole system on one machine, without any account: starts the fake catalogue, fake LLM
// and fake warehouse with the small shop sample in this folder, starts the built server, asks it
// one question over MCP, and prints the semantic model it built and the answer.
//
//   node demo/run_demo.mjs [build bin directory]      (or: make demo)
//
// Everything it starts is stopped again, also when something fails.
import { readdirSync, readFileSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

import { TOOL, makeWorkDir, startFakes, startServer } from '../tests/e2e/lib/system.mjs';

const here = path.dirname(fileURLToPath(import.meta.url));
const binDir = path.resolve(process.argv[2] ?? path.join(here, '../build/bin'));
const QUESTION = 'What is the revenue per customer country, highest first?';
const ORDERS = 'urn:orvane:dataset:(urn:orvane:dataPlatform:snowflake,shop_db.public.orders,PROD)';

const heading = (title) => console.log(`\n=== ${title} ${'='.repeat(Math.max(0, 70 - title.length))}`);

function printRows(rows) {
  if (!rows || rows.length === 0) {
    console.log(rows ? '(no rows)' : '(no query was run)');
    return;
  }
  const columns = Object.keys(rows[0]);
  // Texts as they are; numbers, booleans and null in their JSON form.
  const cell = (value) => (typeof value === 'string' ? value : JSON.stringify(value));
  const cells = rows.map((row) => columns.map((column) => cell(row[column])));
  const widths = columns.map((column, i) => Math.max(column.length, ...cells.map((r) => r[i].length)));
  const line = (values) => values.map((value, i) => value.padEnd(widths[i])).join(' | ');
  console.log(line(columns));
  console.log(widths.map((width) => '-'.repeat(width)).join('-+-'));
  for (const row of cells) console.log(line(row));
}

const workDir = makeWorkDir(tmpdir(), 'osa-demo-');
let fakes;
let server;
let failed = false;
try {
  fakes = await startFakes({
    binDir, workDir,
    catalogue: path.join(here, 'catalogue.json'),
    warehouseSql: path.join(here, 'warehouse.sql'),
    llmScript: path.join(here, 'llm.json'),
    analystScript: path.join(here, 'analyst.json'),
  });
  server = await startServer({ binDir, workDir, fakes, name: 'demo' });

  heading('Question');
  console.log(QUESTION);
  console.log(`candidate_urns: ${ORDERS}`);
  const result = await server.client.callTool({
    name: TOOL, arguments: { query: QUESTION, candidate_urns: [ORDERS] },
  });
  if (result.isError) throw new Error(result.content.map((block) => block.text).join(''));

  const [dir] = server.serverDirs();
  const [modelFile] = readdirSync(dir);
  heading(`Semantic model the server built (${modelFile})`);
  process.stdout.write(readFileSync(path.join(dir, modelFile), 'utf8'));

  const { text, sql, results } = result.structuredContent;
  heading('Answer');
  console.log(text);
  heading('SQL');
  console.log(sql ?? '(none)');
  heading('Rows');
  printRows(results);
} catch (error) {
  failed = true;
  console.error(`\nThe demo failed: ${error.message}`);
  if (server) console.error(`Server log:\n${server.stderr().join('\n')}`);
} finally {
  if (server) await server.close();
  if (fakes) await fakes.stop();
  rmSync(workDir, { recursive: true, force: true });
}
process.exit(failed ? 1 : 0);
