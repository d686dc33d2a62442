// Drives the MCP test server with the official TypeScript SDK client over stdio: the
// handshake, the tool list, a result, an error result, a schema error, an unknown tool, ping
// during a slow call, a cancelled call, and the ways the process ends (stdin closed, SIGTERM
// during a call), each with exit status 0 and the lifespan left.
//
//   node sdk_client_test.mjs <path of mcp_echo_server>
import { spawn } from 'node:child_process';
import { mkdtempSync, readFileSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';
import assert from 'node:assert/strict';

const here = path.dirname(fileURLToPath(import.meta.url));
const sdk = path.resolve(here, '../../npm/node_modules/@modelcontextprotocol/sdk/dist/esm');
const load = (file) => import(pathToFileURL(path.join(sdk, file)).href);
const { Client } = await load('client/index.js');
const { StdioClientTransport } = await load('client/stdio.js');

const server = process.argv[2];
assert.ok(server, 'usage: node sdk_client_test.mjs <mcp_echo_server>');
const scratch = mkdtempSync(path.join(tmpdir(), 'mcp-sdk-'));

try {
  await sessionWithTheSdk();
  await sigtermDuringACall();
  console.log('MCP SDK client test passed');
} finally {
  rmSync(scratch, { recursive: true, force: true });
}

async function sessionWithTheSdk() {
  const marker = path.join(scratch, 'sdk-session');
  const transport = new StdioClientTransport({ command: server, args: [marker], stderr: 'pipe' });
  const client = new Client({ name: 'sdk-client-test', version: '1.0.0' });
  await client.connect(transport);
  assert.deepEqual(client.getServerVersion(), { name: 'cortex_agent', version: '0.1.3' });
  assert.deepEqual(client.getServerCapabilities(), { tools: { listChanged: false } });

  const { tools } = await client.listTools();
  assert.deepEqual(tools.map((tool) => tool.name), ['echo', 'fail']);
  assert.deepEqual(tools[0].inputSchema.required, ['text']);
  assert.deepEqual(tools[0].outputSchema, { type: 'object' });

  const echoed = await client.callTool({ name: 'echo', arguments: { text: 'héllo "world"' } });
  assert.deepEqual(echoed.structuredContent, { text: 'héllo "world"' });
  assert.deepEqual(echoed.content, [{ type: 'text', text: '{"text":"héllo \\"world\\""}' }]);
  assert.equal(echoed.isError, false);

  const failed = await client.callTool({ name: 'fail', arguments: {} });
  assert.equal(failed.isError, true);
  assert.equal(failed.content[0].text, 'Error executing tool fail: No candidate urns provided');

  const badArguments = await client.callTool({ name: 'echo', arguments: { text: 5 } });
  assert.equal(badArguments.isError, true);
  assert.match(badArguments.content[0].text, /argument 'text' must be of type string/);

  await assert.rejects(client.callTool({ name: 'nope', arguments: {} }), (error) => error.code === -32602);

  // A slow call does not hold up ping.
  const slow = client.callTool({ name: 'echo', arguments: { text: 'slow', delay_ms: 1500 } });
  const pingStart = Date.now();
  await client.ping();
  assert.ok(Date.now() - pingStart < 1000, `ping took ${Date.now() - pingStart} ms`);
  assert.deepEqual((await slow).structuredContent, { text: 'slow' });

  // A cancelled call rejects on the client; the server drops its answer and keeps serving.
  const abort = new AbortController();
  const cancelled = client.callTool({ name: 'echo', arguments: { text: 'never', delay_ms: 10000 } },
    undefined, { signal: abort.signal });
  setTimeout(() => abort.abort('changed my mind'), 100);
  await assert.rejects(cancelled);
  await client.ping();
  const after = await client.callTool({ name: 'echo', arguments: { text: 'after' } });
  assert.deepEqual(after.structuredContent, { text: 'after' });

  // Closing stdin alone ends the process: the SDK sends SIGTERM only after two seconds.
  const child = transport._process;
  const closeStart = Date.now();
  await client.close();
  assert.ok(Date.now() - closeStart < 1900, `close took ${Date.now() - closeStart} ms`);
  assert.equal(child.exitCode, 0);
  assert.equal(child.signalCode, null);
  assert.equal(readFileSync(marker, 'utf8'), 'released');
}

async function sigtermDuringACall() {
  const marker = path.join(scratch, 'sigterm');
  const child = spawn(server, [marker], { stdio: ['pipe', 'pipe', 'inherit'] });
  const lines = [];
  let buffered = '';
  let waiter = null;
  child.stdout.on('data', (chunk) => {
    buffered += chunk;
    let end;
    while ((end = buffered.indexOf('\n')) >= 0) {
      lines.push(JSON.parse(buffered.slice(0, end)));
      buffered = buffered.slice(end + 1);
      waiter?.();
    }
  });
  const next = async () => {
    while (lines.length === 0) await new Promise((resolve) => { waiter = resolve; });
    return lines.shift();
  };
  const send = (message) => child.stdin.write(JSON.stringify({ jsonrpc: '2.0', ...message }) + '\n');
  const exited = new Promise((resolve) => child.on('exit', (code, signal) => resolve({ code, signal })));

  send({ id: 1, method: 'initialize', params: { protocolVersion: '2025-03-26', capabilities: {},
    clientInfo: { name: 'raw', version: '1' } } });
  assert.equal((await next()).result.protocolVersion, '2025-03-26');
  send({ method: 'notifications/initialized' });
  send({ id: 2, method: 'tools/call', params: { name: 'echo', arguments: { text: 't', delay_ms: 20000 } } });
  send({ id: 3, method: 'ping' });
  assert.equal((await next()).id, 3);
  // Time for a worker to start the call: a call still waiting at SIGTERM is not started.
  await new Promise((resolve) => setTimeout(resolve, 300));
  child.kill('SIGTERM');
  // The running call is told to stop, answers, and the process ends normally.
  const answer = await next();
  assert.equal(answer.id, 2);
  assert.deepEqual(answer.result.structuredContent, { text: 't', cancelled: true });
  assert.deepEqual(await exited, { code: 0, signal: null });
  assert.equal(readFileSync(marker, 'utf8'), 'released');
}
