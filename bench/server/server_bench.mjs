// Start-up, memory and per-call figures of the built server against the fakes on this machine.
//
//   node bench/server/server_bench.mjs [bin directory, default build/release/bin] [calls, 1000]
//
// Measured, over a raw JSON-RPC line client (no SDK overhead on the clock):
//   cold start      spawn to the `initialize` answer; the lifespan logs in to the local fake
//                   warehouse (TLS) and creates its directory before the first message is read
//   idle memory     resident set after initialize and tools/list
//   per call        wall time of one call and the server's own CPU time for it, with fakes that
//                   answer at once: hard-coded model (analyst + SQL), and a generated model
//                   (catalogue reads, one LLM answer, analyst + SQL)
//   long run        `calls` calls in a row, resident set sampled every tenth of the run
import { spawn } from 'node:child_process';
import { readFileSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

import { makeWorkDir, serverEnvironment, startFakes } from '../../tests/e2e/lib/system.mjs';

const here = path.dirname(fileURLToPath(import.meta.url));
const root = path.resolve(here, '../..');
const binDir = path.resolve(process.argv[2] ?? path.join(root, 'build/release/bin'));
const CALLS = Number(process.argv[3] ?? 1000);
const ORDERS = 'urn:orvane:dataset:(urn:orvane:dataPlatform:snowflake,shop_db.public.orders,PROD)';
const CLOCK_TICKS = 100; // USER_HZ on Linux

const answer = { status: 200, body: { message: { role: 'analyst', content: [
  { type: 'text', text: 'Orders per status.' },
  { type: 'sql', statement: 'SELECT STATUS, COUNT(*) AS N FROM ORDERS GROUP BY STATUS' }] } } };

// A line-oriented JSON-RPC client over the server's standard input and output.
class RawServer {
  constructor(env, cwd) {
    this.startedAt = process.hrtime.bigint();
    this.child = spawn(path.join(binDir, 'orvane-semantic-agent'), [], { env, cwd, stdio: ['pipe', 'pipe', 'ignore'] });
    this.pending = new Map();
    this.nextId = 1;
    let buffer = '';
    this.child.stdout.on('data', (data) => {
      buffer += data;
      for (let end = buffer.indexOf('\n'); end >= 0; end = buffer.indexOf('\n')) {
        const message = JSON.parse(buffer.slice(0, end));
        buffer = buffer.slice(end + 1);
        this.pending.get(message.id)?.(message);
        this.pending.delete(message.id);
      }
    });
    this.exited = new Promise((resolve) => this.child.once('exit', resolve));
  }
  request(method, params) {
    const id = this.nextId++;
    return new Promise((resolve) => {
      this.pending.set(id, resolve);
      this.child.stdin.write(`${JSON.stringify({ jsonrpc: '2.0', id, method, params })}\n`);
    });
  }
  notify(method) { this.child.stdin.write(`${JSON.stringify({ jsonrpc: '2.0', method })}\n`); }
  async initialize() {
    const reply = await this.request('initialize', {
      protocolVersion: '2025-06-18', capabilities: {}, clientInfo: { name: 'bench', version: '1' } });
    if (!reply.result) throw new Error(`initialize failed: ${JSON.stringify(reply)}`);
    this.notify('notifications/initialized');
    return Number(process.hrtime.bigint() - this.startedAt) / 1e6;
  }
  async call(args) {
    const reply = await this.request('tools/call', { name: 'run_cortex_analyst', arguments: args });
    if (!reply.result || reply.result.isError) throw new Error(`call failed: ${JSON.stringify(reply)}`);
    return reply.result;
  }
  rssKb() {
    return Number(/VmRSS:\s+(\d+)/.exec(readFileSync(`/proc/${this.child.pid}/status`, 'utf8'))[1]);
  }
  cpuMs() {
    const fields = readFileSync(`/proc/${this.child.pid}/stat`, 'utf8').split(') ')[1].split(' ');
    return ((Number(fields[11]) + Number(fields[12])) * 1000) / CLOCK_TICKS;
  }
  async close() {
    this.child.stdin.end();
    await this.exited;
  }
}

const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];
const quantile = (values, q) => [...values].sort((a, b) => a - b)[Math.min(values.length - 1, Math.floor(values.length * q))];
const ms = (value) => `${value.toFixed(2)} ms`;

async function timeCalls(server, fakes, args, count) {
  const walls = [];
  const cpuBefore = server.cpuMs();
  for (let i = 0; i < count; i += 1) {
    await fakes.addAnalystAnswers([answer]);
    const started = process.hrtime.bigint();
    await server.call(args);
    walls.push(Number(process.hrtime.bigint() - started) / 1e6);
  }
  return { walls, cpuPerCall: (server.cpuMs() - cpuBefore) / count };
}

const workDir = makeWorkDir(tmpdir(), 'osa-bench-');
const llmScript = path.join(workDir, 'llm.json');
const relationship = JSON.parse(readFileSync(path.join(root, 'demo/llm.json'), 'utf8'))[0];
writeFileSync(llmScript, JSON.stringify(Array(CALLS + 200).fill(relationship)));
const fakes = await startFakes({
  binDir, workDir, catalogue: path.join(root, 'demo/catalogue.json'),
  warehouseSql: path.join(root, 'demo/warehouse.sql'), llmScript,
});
const environment = (extra = {}) => ({
  ...serverEnvironment({ fakes, workDir, temp: workDir }), ...extra });
const hardcoded = { CORTEX_HARDCODED_MODEL_FILE: path.join(root, 'tests/e2e/data/shop_model.yml') };

try {
  const starts = [];
  let idle = 0;
  for (let i = 0; i < 20; i += 1) {
    const server = new RawServer(environment(hardcoded), workDir);
    starts.push(await server.initialize());
    await server.request('tools/list', {});
    idle = Math.max(idle, server.rssKb());
    await server.close();
  }
  console.log(`cold start to initialize answer: median ${ms(median(starts))}, ` +
    `min ${ms(Math.min(...starts))}, p90 ${ms(quantile(starts, 0.9))} (20 starts)`);
  console.log(`idle resident memory: ${(idle / 1024).toFixed(1)} MB (largest of 20)`);

  for (const [name, extra, args] of [
    ['hard-coded model', hardcoded, { query: 'q', candidate_urns: [] }],
    ['generated model', {}, { query: 'q', candidate_urns: [ORDERS] }]]) {
    const server = new RawServer(environment(extra), workDir);
    await server.initialize();
    await timeCalls(server, fakes, args, 20); // warm-up
    const { walls, cpuPerCall } = await timeCalls(server, fakes, args, 100);
    console.log(`per call, ${name}: wall median ${ms(median(walls))}, p90 ${ms(quantile(walls, 0.9))}; ` +
      `server CPU ${ms(cpuPerCall)} per call (100 calls)`);
    await server.close();
  }

  for (const [name, extra, args] of [
    ['hard-coded model', hardcoded, { query: 'q', candidate_urns: [] }],
    ['generated model', {}, { query: 'q', candidate_urns: [ORDERS] }]]) {
    const server = new RawServer(environment(extra), workDir);
    await server.initialize();
    const samples = [server.rssKb()];
    for (let done = 0; done < CALLS; done += CALLS / 10) {
      await timeCalls(server, fakes, args, CALLS / 10);
      samples.push(server.rssKb());
    }
    console.log(`${CALLS} calls, ${name}: resident MB ` +
      samples.map((kb) => (kb / 1024).toFixed(1)).join(' -> '));
    await server.close();
  }
} finally {
  await fakes.stop();
  rmSync(workDir, { recursive: true, force: true });
}
