// Runs the whole system as separate processes for end-to-end checks and the demo: the fake
// catalogue, the fake LLM and the fake warehouse (SQLite underneath, with the analyst endpoint),
// then the built server `orvane-semantic-agent` driven over stdio by the official MCP client.
//
//   const fakes = await startFakes({ binDir, workDir, catalogue, warehouseSql, llmScript });
//   const server = await startServer({ binDir, workDir, fakes });
//   await fakes.addAnalystAnswers([{ status: 200, body: {...} }]);
//   const result = await server.client.callTool({ name: 'run_cortex_analyst', arguments });
//   await server.close();          // end of input: the server leaves its lifespan and exits
//   await fakes.stop();
//
// Every child is stopped by `stop`/`close`, and also when this process exits.
import { spawn } from 'node:child_process';
import assert from 'node:assert/strict';
import { mkdirSync, mkdtempSync, readdirSync, readFileSync, rmSync } from 'node:fs';
import https from 'node:https';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const here = path.dirname(fileURLToPath(import.meta.url));
const demo = path.resolve(here, '../../../demo');
const SDK = path.resolve(here, '../../npm/node_modules/@modelcontextprotocol/sdk/dist/esm');
const { Client } = await import(`${SDK}/client/index.js`);
const { StdioClientTransport } = await import(`${SDK}/client/stdio.js`);

export const TOOL = 'run_cortex_analyst';
export const TEMP_DIR_PREFIX = 'orvane_semantic_agent';

const children = new Set();
process.on('exit', () => {
  for (const child of children) child.kill('SIGKILL');
});

// Starts a program and resolves with the first stdout line matching `ready` (its match).
function startProgram(program, args, ready, { stdin = 'ignore', timeoutMs = 15000 } = {}) {
  const child = spawn(program, args, { stdio: [stdin, 'pipe', 'inherit'] });
  children.add(child);
  child.on('exit', () => children.delete(child));
  return new Promise((resolve, reject) => {
    let output = '';
    const timer = setTimeout(() => reject(new Error(`${program} did not start`)), timeoutMs);
    child.on('error', (error) => reject(error));
    child.on('exit', (code) => reject(new Error(`${program} exited early (${code})`)));
    child.stdout.on('data', (data) => {
      output += data;
      const match = ready.exec(output);
      if (!match) return;
      clearTimeout(timer);
      child.stdout.removeAllListeners('data');
      child.stdout.resume();
      child.removeAllListeners('exit');
      child.on('exit', () => children.delete(child));
      resolve({ child, match });
    });
  });
}

function stopProgram(child, how = (c) => c.kill('SIGTERM')) {
  if (child.exitCode !== null || child.signalCode !== null) return Promise.resolve();
  return new Promise((resolve) => {
    child.once('exit', () => resolve());
    how(child);
  });
}

// Starts the three fakes. `catalogue`, `warehouseSql`, `llmScript` and `analystScript` (optional)
// are file paths.
export async function startFakes({ binDir, workDir, catalogue, warehouseSql, llmScript, analystScript }) {
  const started = [];
  try {
    const catalogueProgram = await startProgram(
      path.join(binDir, 'fake_catalogue'), ['--port', '0', '--data', catalogue],
      /^listening on (127\.0\.0\.1:\d+)$/m);
    started.push(catalogueProgram.child);
    const llmProgram = await startProgram(
      path.join(binDir, 'fake_llm'), [llmScript], /^(http:\/\/127\.0\.0\.1:\d+\/v1)$/m, { stdin: 'pipe' });
    started.push(llmProgram.child);
    const tlsDir = path.join(workDir, 'warehouse-tls');
    const stageDir = path.join(workDir, 'warehouse-stages');
    mkdirSync(stageDir, { recursive: true });
    const warehouseArgs = ['--port', '0', '--sqlite', path.join(workDir, 'warehouse.sqlite'),
      '--seed-sql', warehouseSql, '--tls-dir', tlsDir, '--stage-dir', stageDir];
    if (analystScript) warehouseArgs.push('--analyst-script', analystScript);
    const warehouseProgram = await startProgram(
      path.join(binDir, 'fake_snowflake'), warehouseArgs, /^listening on 127\.0\.0\.1:(\d+)$/m);
    started.push(warehouseProgram.child);

    const caFile = path.join(tlsDir, 'ca.pem');
    const ca = readFileSync(caFile);
    const warehousePort = Number(warehouseProgram.match[1]);
    const control = (method, route, body) => new Promise((resolve, reject) => {
      const request = https.request({ host: '127.0.0.1', port: warehousePort, path: route, method, ca },
        (response) => {
          let text = '';
          response.on('data', (data) => { text += data; });
          response.on('end', () => resolve(JSON.parse(text)));
        });
      request.on('error', reject);
      request.end(body === undefined ? undefined : JSON.stringify(body));
    });
    return {
      catalogueUrl: `http://${catalogueProgram.match[1]}`,
      llmUrl: llmProgram.match[1],
      warehousePort,
      caFile,
      stageDir,  // where uploads to the warehouse's stages land
      warehouseState: () => control('GET', '/__fake__/state'),
      addAnalystAnswers: (answers) => control('POST', '/__fake__/analyst-answers', answers),
      // A frozen warehouse takes requests and never answers them, until thawed.
      setWarehouseFrozen: (frozen) => control('POST', '/__fake__/frozen', { frozen }),
      // {path_prefix, status, times, body, retry_after, hold_ms}: see the fake's header.
      injectFault: (fault) => control('POST', '/__fake__/faults', fault),
      forgetSessions: () => control('POST', '/__fake__/forget-sessions'),
      stop: () => Promise.all([
        stopProgram(catalogueProgram.child),
        stopProgram(llmProgram.child, (c) => c.stdin.end()),
        stopProgram(warehouseProgram.child)]),
    };
  } catch (error) {
    await Promise.all(started.map((child) => stopProgram(child)));
    throw error;
  }
}

// Starts the fake tracking server (`frozen`: it takes requests and never answers them). `stop`
// resolves with the requests it received, one "METHOD path body" line each.
export async function startTracking({ binDir, frozen = false }) {
  const { child, match } = await startProgram(path.join(binDir, 'fake_tracking'),
    frozen ? ['--frozen'] : [], /^(http:\/\/127\.0\.0\.1:\d+)$/m, { stdin: 'pipe' });
  let received = '';
  child.stdout.on('data', (data) => { received += data; });
  return {
    url: match[1],
    stop: async () => {
      await stopProgram(child, (c) => c.stdin.end());
      return received.split('\n').filter((line) => /^[A-Z]+ \//.test(line));
    },
  };
}

// The environment of a server run against the fakes. `temp` becomes its TMPDIR.
// Sanitizer settings of a sanitizer build's test run reach the server too.
export function serverEnvironment({ fakes, workDir, temp }) {
  const sanitizers = Object.fromEntries(Object.entries(process.env)
    .filter(([name]) => /^(A|T|UB|L)SAN_OPTIONS$/.test(name)));
  return {
    ...sanitizers,
    PATH: process.env.PATH ?? '/usr/bin:/bin',
    TMPDIR: temp,
    ORVANE_SERVER_URL: fakes.catalogueUrl,
    OPENAI_BASE_URL: fakes.llmUrl,
    OPENAI_API_KEY: 'fake-llm-key',
    MLFLOW_TRACKING_URI: `file://${path.join(workDir, 'mlruns')}`,
    SNOWFLAKE__CONNECTION__ACCOUNT_ID: 'fakeacct',
    SNOWFLAKE__CONNECTION__USERNAME: 'tester',
    SNOWFLAKE__CONNECTION__PASSWORD: 'secret',
    SNOWFLAKE__CONNECTION__HOST: '127.0.0.1',
    SNOWFLAKE__CONNECTION__PORT: String(fakes.warehousePort),
    SSL_CERT_FILE: fakes.caFile,
  };
}

const withoutUnset = (env) => Object.fromEntries(Object.entries(env).filter(([, v]) => v !== undefined));

// Starts the server with the MCP client connected. `env` adds to or overrides the environment
// (undefined removes a variable); `command` and `args` start another form of the server. With
// `readStderr` false nobody reads the server's standard error until `stderrText()` is called (a
// terminal that stopped scrolling).
export async function startServer({ binDir, workDir, fakes, env = {}, name = 'server', cwd = workDir,
  command = path.join(binDir, 'orvane-semantic-agent'), args = [], readStderr = true }) {
  const temp = mkdtempSync(path.join(workDir, `${name}-tmp-`));
  const stderrLines = [];
  const transport = new StdioClientTransport({
    command,
    args,
    env: withoutUnset({ ...serverEnvironment({ fakes, workDir, temp }), ...env }),
    cwd,
    stderr: 'pipe',
  });
  const collectStderr = () => transport.stderr.on('data',
    (data) => stderrLines.push(...String(data).split('\n').filter(Boolean)));
  if (readStderr) collectStderr();
  const client = new Client({ name: 'orvane-e2e', version: '1.0.0' });
  await client.connect(transport);
  const child = transport._process;
  children.add(child);
  const exited = new Promise((resolve) => child.once('exit', (code, signal) => resolve({ code, signal })));
  return {
    client,
    temp,
    stderr: () => stderrLines,
    // Starts reading standard error (when `readStderr` was false) and gives what came so far.
    stderrText: async (waitMs = 500) => {
      if (transport.stderr.listenerCount('data') === 0) collectStderr();
      await new Promise((resolve) => setTimeout(resolve, waitMs));
      return stderrLines.join('\n');
    },
    // The server's temporary directories in its TMPDIR.
    serverDirs: () => readdirSync(temp).filter((entry) => entry.startsWith(TEMP_DIR_PREFIX))
      .map((entry) => path.join(temp, entry)),
    // Sends a signal (e.g. 'SIGTERM') and waits for the exit.
    stop: async (signal) => {
      child.kill(signal);
      const status = await exited;
      children.delete(child);
      await client.close();
      return status;
    },
    // Closes standard input only: the client still reads the answers. Resolves at the exit.
    endInput: async () => {
      child.stdin.end();
      const status = await exited;
      children.delete(child);
      return status;
    },
    // Closes standard input, as a client does when it is done, and waits for the exit.
    close: async () => {
      await client.close();
      const status = await exited;
      children.delete(child);
      return status;
    },
  };
}

export function makeWorkDir(parent, prefix) {
  mkdirSync(parent, { recursive: true });
  return mkdtempSync(path.join(parent, prefix));
}

// The fakes loaded with the demo's shop sample, in a new work directory under the system's
// temporary folder; `stopDemoFakes` stops them and removes the directory.
export async function startDemoFakes(binDir, prefix) {
  const workDir = makeWorkDir(tmpdir(), prefix);
  const fakes = await startFakes({
    binDir, workDir,
    catalogue: path.join(demo, 'catalogue.json'),
    warehouseSql: path.join(demo, 'warehouse.sql'),
    llmScript: path.join(demo, 'llm.json'),
  });
  return { workDir, fakes };
}

export async function stopDemoFakes({ workDir, fakes }) {
  await fakes?.stop();
  if (workDir) rmSync(workDir, { recursive: true, force: true });
}

// The failure's message, as the server reports a failed call.
export function errorText(result) {
  assert.equal(result.isError, true, JSON.stringify(result));
  const message = result.content.map((block) => block.text).join('');
  const prefix = `Error executing tool ${TOOL}: `;
  assert.ok(message.startsWith(prefix), message);
  return message.slice(prefix.length);
}
