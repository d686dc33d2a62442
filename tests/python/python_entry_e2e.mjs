// `python3 -m orvane_semantic_agent` from the installed package, driven over stdio by the official
// MCP client against the fakes, answers exactly as the built binary does.
//
//   node tests/python/python_entry_e2e.mjs <build bin directory> <python3> <site-packages>
import assert from 'node:assert/strict';
import { readFileSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { after, before, describe, it } from 'node:test';
import { fileURLToPath } from 'node:url';

import { TOOL, makeWorkDir, startFakes, startServer } from '../e2e/lib/system.mjs';

const here = path.dirname(fileURLToPath(import.meta.url));
const demo = path.resolve(here, '../../demo');
const [binDir, pythonProgram, site] = process.argv.slice(2).map((arg) => path.resolve(arg));

const ORDERS = 'urn:orvane:dataset:(urn:orvane:dataPlatform:snowflake,shop_db.public.orders,PROD)';
const answer = {
  status: 200,
  body: { message: { role: 'analyst', content: [
    { type: 'text', text: 'Revenue per country: ' },
    { type: 'sql', statement: 'SELECT c.COUNTRY, SUM(o.AMOUNT) AS REVENUE FROM ORDERS o JOIN ' +
      'CUSTOMERS c ON o.CUSTOMER_ID = c.CUSTOMER_ID GROUP BY c.COUNTRY ORDER BY REVENUE DESC' }] } },
};

let workDir;
let fakes;
const servers = {};

const startPythonServer = (name) => startServer({ binDir, workDir, fakes, name,
  command: pythonProgram, args: ['-m', 'orvane_semantic_agent'], env: { PYTHONPATH: site } });

before(async () => {
  workDir = makeWorkDir(tmpdir(), 'osa-python-e2e-');
  // One build per server, each asking the LLM once.
  const llmAnswers = JSON.parse(readFileSync(path.join(demo, 'llm.json'), 'utf8'));
  const llmScript = path.join(workDir, 'llm.json');
  writeFileSync(llmScript, JSON.stringify([...llmAnswers, ...llmAnswers]));
  fakes = await startFakes({ binDir, workDir, catalogue: path.join(demo, 'catalogue.json'),
    warehouseSql: path.join(demo, 'warehouse.sql'), llmScript });
  servers.binary = await startServer({ binDir, workDir, fakes, name: 'binary' });
  servers.python = await startPythonServer('python');
});

after(async () => {
  for (const server of Object.values(servers)) await server?.close();
  await fakes?.stop();
  rmSync(workDir, { recursive: true, force: true });
});

describe('python3 -m orvane_semantic_agent', () => {
  it('introduces itself and lists the tool as the binary does', async () => {
    assert.deepEqual(servers.python.client.getServerVersion(),
      servers.binary.client.getServerVersion());
    assert.deepEqual(await servers.python.client.listTools(),
      await servers.binary.client.listTools());
  });

  it('answers a question with the same text, SQL and rows', async () => {
    const results = {};
    for (const [name, server] of Object.entries(servers)) {
      await fakes.addAnalystAnswers([answer]);
      results[name] = await server.client.callTool({ name: TOOL, arguments: {
        query: 'What is the revenue per customer country, highest first?',
        candidate_urns: [ORDERS] } });
    }
    assert.equal(results.python.isError, false, JSON.stringify(results.python));
    assert.deepEqual(results.python, results.binary);
    assert.equal(results.python.structuredContent.results.length, 3);
  });

  it('fails a bad call with the same error', async () => {
    const errors = {};
    for (const [name, server] of Object.entries(servers)) {
      errors[name] = await server.client.callTool({ name: TOOL, arguments: {
        query: 'q', candidate_urns: [] } });
    }
    assert.equal(errors.python.isError, true);
    assert.deepEqual(errors.python, errors.binary);
  });

  it('stops at end of input, leaving no temporary directory and no open session', async () => {
    const python = servers.python;
    delete servers.python;
    assert.deepEqual(await python.close(), { code: 0, signal: null });
    assert.deepEqual(python.serverDirs(), []);
    const state = await fakes.warehouseState();
    assert.equal(state.open_sessions, 1);  // the binary's only
  });

  it('stops cleanly on SIGTERM too', async () => {
    const python = await startPythonServer('python-term');
    assert.equal((await fakes.warehouseState()).open_sessions, 2);
    assert.deepEqual(await python.stop('SIGTERM'), { code: 0, signal: null });
    assert.deepEqual(python.serverDirs(), []);
    assert.equal((await fakes.warehouseState()).open_sessions, 1);
  });
});
