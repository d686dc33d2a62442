// How the built server stops when its peers misbehave: a call that outlasts the grace time, a
// client that reads neither standard output nor standard error, a warehouse that stopped
// answering. After every exit the temporary directory is gone and the warehouse session closed
// (when the warehouse still answers), within the documented bound.
//
//   node tests/e2e/server_stop_e2e.mjs <build bin directory>
import assert from 'node:assert/strict';
import { spawn } from 'node:child_process';
import { copyFileSync, mkdirSync, readdirSync } from 'node:fs';
import path from 'node:path';
import { after, before, describe, it } from 'node:test';
import { fileURLToPath } from 'node:url';

import {
  TEMP_DIR_PREFIX, TOOL, makeWorkDir, serverEnvironment, startDemoFakes, startServer, startTracking,
  stopDemoFakes,
} from './lib/system.mjs';

const here = path.dirname(fileURLToPath(import.meta.url));
const binDir = path.resolve(process.argv[2] ?? path.join(here, '../../build/bin'));
const MODEL = path.join(here, 'data', 'shop_model.yml');

// The documented bounds (README, "Stopping"): the grace time for running calls, then the
// cancelled calls' time, the answers' drain, closing the session; a little slack for the rest.
const GRACE_MS = 30_000;
const AFTER_GRACE_MS = 5_000 + 2_000 + 5_000 + 3_000;

const answer = (...content) => ({ status: 200, body: { message: { role: 'analyst', content } } });
const sql = (statement) => ({ type: 'sql', statement });
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));
const serverDirsIn = (temp) => readdirSync(temp).filter((entry) => entry.startsWith(TEMP_DIR_PREFIX));
// Ends the server's input: it must exit 0 within the bound after the grace time, leaving no
// directory behind.
const endsInputAndExitsCleanly = async (server) => {
  const ended = Date.now();
  const status = await server.endInput();
  const took = Date.now() - ended;
  assert.deepEqual(status, { code: 0, signal: null });
  assert.ok(took < AFTER_GRACE_MS, `exit took ${took} ms`);
  assert.deepEqual(serverDirsIn(server.temp), []);
};

let workDir;
let fakes;
// A model file whose path is nearly as long as a path may be, so that every call logs about
// 4 KB to standard error and a stderr nobody reads fills within a few dozen calls.
let longModelPath;

before(async () => {
  ({ workDir, fakes } = await startDemoFakes(binDir, 'osa-stop-e2e-'));
  let dir = workDir;
  while (dir.length < 3600) dir = path.join(dir, 'd'.repeat(250));
  mkdirSync(dir, { recursive: true });
  longModelPath = path.join(dir, 'shop_model.yml');
  copyFileSync(MODEL, longModelPath);
});

after(() => stopDemoFakes({ workDir, fakes }));

const openSessions = async () => (await fakes.warehouseState()).open_sessions;

describe('stopping', () => {
  it('cancels a call that outlasts the grace time after the end of input, answers it and cleans up', async () => {
    const sessions = await openSessions();
    const server = await startServer({ binDir, workDir, fakes, name: 'slow-call',
      env: { CORTEX_HARDCODED_MODEL_FILE: MODEL } });
    await fakes.addAnalystAnswers([answer(sql('SELECT SYSTEM$WAIT(60) AS W'))]);
    const call = server.client.callTool({ name: TOOL, arguments: { query: 'slow', candidate_urns: [] } },
      undefined, { timeout: 120_000 });
    await sleep(2000);
    const ended = Date.now();
    const status = await server.endInput();
    const took = Date.now() - ended;
    const result = await call;
    assert.deepEqual(status, { code: 0, signal: null });
    assert.ok(took >= GRACE_MS - 1000 && took < GRACE_MS + AFTER_GRACE_MS, `exit took ${took} ms`);
    assert.equal(result.isError, true, JSON.stringify(result));
    assert.match(result.content[0].text, /cancel/i);
    assert.deepEqual(serverDirsIn(server.temp), []);
    assert.equal(await openSessions(), sessions);
    assert.match(server.stderr().join('\n'), /still running 30000 ms after the server stopped are cancelled/);
  });

  it('answers every call while nobody reads standard error, whose lines come once it is read', async () => {
    const server = await startServer({ binDir, workDir, fakes, name: 'stderr-unread', readStderr: false,
      env: { CORTEX_HARDCODED_MODEL_FILE: longModelPath } });
    try {
      // No analyst answers are queued: each call logs its model file, then fails at once.
      for (let index = 0; index < 120; index += 1) {
        const result = await server.client.callTool(
          { name: TOOL, arguments: { query: 'q', candidate_urns: [] } }, undefined, { timeout: 10_000 });
        assert.equal(result.isError, true);
      }
      const logs = await server.stderrText(1000);
      assert.equal(logs.match(/Making non-streaming request to Snowflake Analyst/g)?.length, 120);
    } finally {
      assert.equal((await server.close()).code, 0);
    }
  });

  it('stops on SIGTERM while the client reads neither output nor errors', async () => {
    const sessions = await openSessions();
    const temp = makeWorkDir(workDir, 'unread-tmp-');
    const env = { ...serverEnvironment({ fakes, workDir, temp }), CORTEX_HARDCODED_MODEL_FILE: longModelPath };
    const child = spawn(path.join(binDir, 'orvane-semantic-agent'), [], { env, cwd: workDir,
      stdio: ['pipe', 'pipe', 'pipe'] });
    child.stdout.pause();
    child.stderr.pause();
    const exited = new Promise((resolve) => child.once('exit', (code, signal) => resolve({ code, signal })));
    const send = (message) => child.stdin.write(`${JSON.stringify({ jsonrpc: '2.0', ...message })}\n`);
    send({ id: 0, method: 'initialize', params: { protocolVersion: '2025-06-18', capabilities: {},
      clientInfo: { name: 'unread', version: '1' } } });
    send({ method: 'notifications/initialized' });
    for (let id = 1; id <= 40; id += 1) {
      send({ id, method: 'tools/call', params: { name: TOOL, arguments: { query: 'q', candidate_urns: [] } } });
    }
    for (let id = 41; id <= 400; id += 1) send({ id, method: 'tools/list' });
    await sleep(1500);
    assert.equal(serverDirsIn(temp).length, 1);
    const signalled = Date.now();
    child.kill('SIGTERM');
    const status = await Promise.race([exited, sleep(AFTER_GRACE_MS).then(() => 'still running')]);
    const took = Date.now() - signalled;
    if (status === 'still running') child.kill('SIGKILL');
    assert.deepEqual(status, { code: 0, signal: null }, `after ${took} ms`);
    assert.deepEqual(serverDirsIn(temp), []);
    assert.equal(await openSessions(), sessions);
    child.stdout.destroy();
    child.stderr.destroy();
  });

  it('gives up on closing the session with a warehouse that stopped answering', async () => {
    const server = await startServer({ binDir, workDir, fakes, name: 'frozen',
      env: { CORTEX_HARDCODED_MODEL_FILE: MODEL } });
    await fakes.addAnalystAnswers([answer(sql('SELECT 1 AS ONE'))]);
    const result = await server.client.callTool({ name: TOOL, arguments: { query: 'q', candidate_urns: [] } });
    assert.deepEqual(result.structuredContent.results, [{ ONE: 1 }]);
    await fakes.setWarehouseFrozen(true);
    try {
      await endsInputAndExitsCleanly(server);
    } finally {
      await fakes.setWarehouseFrozen(false);
    }
  });

  it('gives up on traces a tracking server takes and never answers', async () => {
    const tracking = await startTracking({ binDir, frozen: true });
    try {
      const server = await startServer({ binDir, workDir, fakes, name: 'frozen-tracking',
        env: { MLFLOW_TRACKING_URI: tracking.url } });
      await sleep(500);  // the experiment look-up at start-up is now held by the tracking server
      await endsInputAndExitsCleanly(server);
      assert.match(server.stderr().join('\n'), /Tracing store did not take the last traces within 5000 ms/);
    } finally {
      const requests = await tracking.stop();
      assert.ok(requests.some((line) => line.startsWith('GET /api/2.0/mlflow/experiments/get-by-name')),
        requests.join('\n'));
    }
  });
});
