// End-to-end checks of the built server: the official MCP client drives orvane-semantic-agent
// over stdio, against the fake catalogue, fake LLM and fake warehouse as separate programs.
//
//   node tests/e2e/server_e2e.mjs <build bin directory>
//
// One server generates its models from the catalogue; a second one answers against a hard-coded
// model file (CORTEX_HARDCODED_MODEL_FILE), which keeps the analyst and warehouse cases free of
// LLM answers.
import assert from 'node:assert/strict';
import { execFileSync, spawn } from 'node:child_process';
import { mkdirSync, readdirSync, statSync, truncateSync, writeFileSync } from 'node:fs';
import path from 'node:path';
import { after, before, describe, it } from 'node:test';
import { fileURLToPath } from 'node:url';

import {
  TOOL, errorText, makeWorkDir, serverEnvironment, startDemoFakes, startServer, stopDemoFakes,
} from './lib/system.mjs';

const here = path.dirname(fileURLToPath(import.meta.url));
const binDir = path.resolve(process.argv[2] ?? path.join(here, '../../build/bin'));

const ORDERS = 'urn:orvane:dataset:(urn:orvane:dataPlatform:snowflake,shop_db.public.orders,PROD)';
const CUSTOMERS = 'urn:orvane:dataset:(urn:orvane:dataPlatform:snowflake,shop_db.public.customers,PROD)';
const CHART = 'urn:orvane:chart:(looker,sales_dashboard)';

const answer = (...content) => ({ status: 200, body: { message: { role: 'analyst', content } } });
const text = (value) => ({ type: 'text', text: value });
const sql = (statement) => ({ type: 'sql', statement });

const call = (server, args, options) =>
  server.client.callTool({ name: TOOL, arguments: args }, undefined, options);

let workDir;
let fakes;

before(async () => {
  ({ workDir, fakes } = await startDemoFakes(binDir, 'osa-e2e-'));
});

after(() => stopDemoFakes({ workDir, fakes }));

describe('a server that generates its models', () => {
  let server;
  before(async () => { server = await startServer({ binDir, workDir, fakes, name: 'generating' }); });
  after(async () => { await server?.close(); });

  it('lists the one tool with its two required parameters', async () => {
    const { tools } = await server.client.listTools();
    assert.equal(tools.length, 1);
    assert.equal(tools[0].name, TOOL);
    assert.match(tools[0].description, /^The Cortex Analyst is an agent/);
    assert.deepEqual(tools[0].inputSchema.required, ['query', 'candidate_urns']);
    assert.deepEqual(Object.keys(tools[0].inputSchema.properties), ['query', 'candidate_urns']);
    assert.equal(tools[0].outputSchema.type, 'object');
  });

  it('answers with rows from a model generated from the catalogue', async () => {
    await fakes.addAnalystAnswers([answer(
      text('Revenue per country: '), sql(
        'SELECT c.COUNTRY, SUM(o.AMOUNT) AS REVENUE FROM ORDERS o JOIN CUSTOMERS c ' +
        'ON o.CUSTOMER_ID = c.CUSTOMER_ID GROUP BY c.COUNTRY ORDER BY REVENUE DESC'),
      text('highest first.'), { type: 'suggestions', suggestions: ['And per month?'] })]);
    const result = await call(server, { query: 'Revenue per country?', candidate_urns: [ORDERS] });
    assert.notEqual(result.isError, true, JSON.stringify(result));
    assert.deepEqual(result.structuredContent, {
      text: 'Revenue per country: highest first.',
      sql: 'SELECT c.COUNTRY, SUM(o.AMOUNT) AS REVENUE FROM ORDERS o JOIN CUSTOMERS c ' +
        'ON o.CUSTOMER_ID = c.CUSTOMER_ID GROUP BY c.COUNTRY ORDER BY REVENUE DESC',
      results: [{ COUNTRY: 'DE', REVENUE: 310.0 }, { COUNTRY: 'GB', REVENUE: 162.75 },
        { COUNTRY: 'US', REVENUE: 99.99 }],
    });
    assert.deepEqual(JSON.parse(result.content[0].text), result.structuredContent);
    const logs = server.stderr().join('\n');
    assert.match(logs, /Building semantic model file for \[DatasetUrn\('urn:orvane:dataset:\(urn:orvane:dataPlatform:snowflake,shop_db\.public\.orders,PROD\)'\)\]/);
    assert.match(logs, /Semantic model: \{/);
    assert.match(logs, /"name": "customers"/, 'the joined table is part of the model');

    const [dir] = server.serverDirs();
    assert.equal(statSync(dir).mode & 0o777, 0o700);
    const files = readdirSync(dir);
    assert.equal(files.length, 1);
    assert.match(files[0], /^semantic_model_[0-9a-f]{8}_[0-9a-f]{4}_4[0-9a-f]{3}_[89ab][0-9a-f]{3}_[0-9a-f]{12}\.yml$/);
    assert.equal(files[0].length, 55);
    assert.equal(statSync(path.join(dir, files[0])).mode & 0o777, 0o600);
  });

  it('refuses bad candidate urns with the exact message, before anything is sent', async () => {
    const cases = [
      [[], 'No candidate urns provided'],
      [['x', 'y', 'z', 'v', 'w'], 'Only up to 4 candidate urns are supported'],
      [[ORDERS, CHART], 'Only dataset urns are supported'],
      [[ORDERS.replace('snowflake', 'Snowflake')], 'Only snowflake datasets are supported'],
      [[ORDERS.replace('snowflake', 'postgres')], 'Only snowflake datasets are supported'],
    ];
    for (const [candidates, message] of cases) {
      const result = await call(server, { query: 'q', candidate_urns: candidates });
      assert.equal(errorText(result), message, JSON.stringify(candidates));
    }
    // Every text is parsed before any kind is checked.
    const malformed = await call(server, { query: 'q', candidate_urns: [CHART, 'not a urn'] });
    assert.match(errorText(malformed), /not a urn/);
    assert.equal((await fakes.warehouseState()).analyst_answers_left, 0);
  });

  it('refuses arguments that break the input schema', async () => {
    for (const args of [{ query: 'q' }, { candidate_urns: [ORDERS] },
      { query: 1, candidate_urns: [ORDERS] }, { query: 'q', candidate_urns: ORDERS },
      { query: 'q', candidate_urns: [1] }]) {
      let refused = false;
      try {
        const result = await call(server, args);
        refused = result.isError === true;
      } catch (error) {
        refused = error.code === -32602;
      }
      assert.ok(refused, JSON.stringify(args));
    }
  });

  it('leaves no directory behind and closes the warehouse session at the end of input', async () => {
    assert.equal((await fakes.warehouseState()).open_sessions, 1);
    const status = await server.close();
    server = undefined;
    assert.deepEqual(status, { code: 0, signal: null });
    assert.equal((await fakes.warehouseState()).open_sessions, 0);
    assert.deepEqual(readdirSync(path.join(workDir)).filter((e) => e.startsWith('generating-tmp-'))
      .flatMap((tmp) => readdirSync(path.join(workDir, tmp))), []);
  });
});

describe('a server with a hard-coded model file', () => {
  let server;
  before(async () => {
    server = await startServer({
      binDir, workDir, fakes, name: 'hardcoded',
      env: { CORTEX_HARDCODED_MODEL_FILE: path.join(here, 'data', 'shop_model.yml') },
    });
  });
  after(async () => { await server?.close(); });

  it('answers against the file without looking at the candidates', async () => {
    await fakes.addAnalystAnswers([answer(text('Orders per status.'),
      sql('SELECT STATUS, COUNT(*) AS N FROM ORDERS GROUP BY STATUS ORDER BY STATUS'))]);
    const result = await call(server, { query: 'Orders per status?', candidate_urns: [] });
    assert.deepEqual(result.structuredContent, {
      text: 'Orders per status.',
      sql: 'SELECT STATUS, COUNT(*) AS N FROM ORDERS GROUP BY STATUS ORDER BY STATUS',
      results: [{ STATUS: 'open', N: 1 }, { STATUS: 'returned', N: 1 }, { STATUS: 'shipped', N: 3 }],
    });
    const logs = server.stderr().join('\n');
    assert.match(logs, /Using hardcoded semantic model file: .*shop_model\.yml/);
    assert.doesNotMatch(logs, /Building semantic model file for|Semantic model: /);
  });

  it('gives an empty list for a query without rows, and null without a SQL block', async () => {
    await fakes.addAnalystAnswers([
      answer(sql("SELECT ORDER_ID FROM ORDERS WHERE STATUS = 'lost'")),
      answer(text('I cannot answer that.'), { type: 'suggestions', suggestions: ['Ask me about orders'] }),
      answer(sql('')),
    ]);
    const empty = await call(server, { query: 'Lost orders?', candidate_urns: [] });
    assert.deepEqual(empty.structuredContent.results, []);
    const none = await call(server, { query: 'Weather?', candidate_urns: [] });
    assert.deepEqual(none.structuredContent, { text: 'I cannot answer that.', sql: null, results: null });
    const blank = await call(server, { query: 'Nothing?', candidate_urns: [] });
    assert.deepEqual(blank.structuredContent, { text: '', sql: '', results: null });
  });

  it('reports the analyst failure, a SQL failure and two SQL blocks as tool errors', async () => {
    await fakes.addAnalystAnswers([
      { status: 503, body: { message: 'analyst overloaded' } },
      answer(sql('SELECT NOPE FROM NO_SUCH_TABLE')),
      answer(sql(''), sql('SELECT 1')),
    ]);
    const analyst = await call(server, { query: 'q', candidate_urns: [] });
    assert.equal(errorText(analyst), 'Failed request with status 503: {"message":"analyst overloaded"}');
    const failedSql = await call(server, { query: 'q', candidate_urns: [] });
    assert.match(errorText(failedSql), /NO_SUCH_TABLE/);
    const twoSql = await call(server, { query: 'q', candidate_urns: [] });
    assert.equal(errorText(twoSql), 'Multiple SQL queries generated');
  });

  it('answers ping while a slow call runs', async () => {
    await fakes.addAnalystAnswers([answer(sql('SELECT SYSTEM$WAIT(1) AS W'))]);
    const started = Date.now();
    const slow = call(server, { query: 'slow', candidate_urns: [] });
    await new Promise((resolve) => setTimeout(resolve, 200));
    const pingStarted = Date.now();
    await server.client.ping();
    const pingTook = Date.now() - pingStarted;
    const result = await slow;
    assert.ok(pingTook < 300, `ping took ${pingTook} ms`);
    assert.ok(Date.now() - started >= 900, 'the slow call really waited');
    assert.deepEqual(result.structuredContent.results, [{ W: 'waited 1 seconds' }]);
  });

  it('drops a cancelled call and keeps serving', async () => {
    await fakes.addAnalystAnswers([answer(sql('SELECT SYSTEM$WAIT(2) AS W')),
      answer(sql('SELECT COUNT(*) AS N FROM ORDERS'))]);
    const controller = new AbortController();
    const cancelled = call(server, { query: 'slow', candidate_urns: [] }, { signal: controller.signal });
    setTimeout(() => controller.abort('changed my mind'), 300);
    await assert.rejects(cancelled);
    const next = await call(server, { query: 'count', candidate_urns: [] });
    assert.deepEqual(next.structuredContent.results, [{ N: 5 }]);
    await server.client.ping();
  });

  it('frees the workers of calls cancelled while they wait to retry', async () => {
    const busy = 4;  // as many as the server has workers
    await fakes.addAnalystAnswers([...Array(busy)].map(() => answer(sql('SELECT 1 AS A'))));
    await fakes.injectFault({ path_prefix: '/queries/v1/query-request', status: 503,
      retry_after: '30', times: busy });
    const controllers = [...Array(busy)].map(() => new AbortController());
    const cancelled = controllers.map((controller) =>
      call(server, { query: 'busy', candidate_urns: [] }, { signal: controller.signal }));
    await new Promise((resolve) => setTimeout(resolve, 1000));
    for (const controller of controllers) controller.abort('changed my mind');
    await Promise.all(cancelled.map((promise) => assert.rejects(promise)));

    await fakes.addAnalystAnswers([answer(sql('SELECT COUNT(*) AS N FROM ORDERS'))]);
    const started = Date.now();
    const next = await call(server, { query: 'count', candidate_urns: [] });
    const took = Date.now() - started;
    assert.deepEqual(next.structuredContent.results, [{ N: 5 }]);
    assert.ok(took < 3000, `the next call took ${took} ms`);
  });

  it('logs in again once the warehouse has forgotten its session', async () => {
    await fakes.forgetSessions();
    await fakes.addAnalystAnswers([answer(sql('SELECT COUNT(*) AS N FROM ORDERS'))]);
    const result = await call(server, { query: 'count', candidate_urns: [] });
    assert.deepEqual(result.structuredContent.results, [{ N: 5 }]);
    assert.equal((await fakes.warehouseState()).open_sessions, 1);
  });

  it('keeps one model file per call and removes everything at shutdown', async () => {
    const [dir] = server.serverDirs();
    const files = readdirSync(dir);
    assert.ok(files.length >= 8, `${files.length} files`);
    assert.ok(files.every((file) => file.length === 55 && !file.includes('-')));
    const status = await server.close();
    server = undefined;
    assert.deepEqual(status, { code: 0, signal: null });
    assert.equal((await fakes.warehouseState()).open_sessions, 0);
    assert.deepEqual(readdirSync(path.dirname(dir)), []);
  });
});

describe('a hard-coded model file that cannot be used', () => {
  it('fails the call with the file problem, before anything is written or sent', async () => {
    const broken = path.join(workDir, 'broken_model.yml');
    writeFileSync(broken, 'name: shop\ntables: not a list\n');
    const fifo = path.join(workDir, 'model.fifo');
    execFileSync('mkfifo', [fifo]);
    const huge = path.join(workDir, 'huge_model.yml');
    writeFileSync(huge, '');
    truncateSync(huge, 300 << 20);
    for (const [file, message] of [
      [workDir, /^Cannot read the semantic model file .*: Is a directory$/],
      [fifo, /^Cannot read the semantic model file .*model\.fifo: not a regular file$/],
      ['/dev/zero', /^Cannot read the semantic model file \/dev\/zero: not a regular file$/],
      [huge, /^Cannot read the semantic model file .*huge_model\.yml: larger than the limit of 33554432 bytes$/],
      [path.join(workDir, 'missing.yml'),
        /^Cannot read the semantic model file .*missing\.yml: No such file or directory$/],
      [broken, /validation error for SemanticModel/]]) {
      const server = await startServer({ binDir, workDir, fakes, name: 'unusable',
        env: { CORTEX_HARDCODED_MODEL_FILE: file } });
      try {
        const result = await call(server, { query: 'q', candidate_urns: [] });
        assert.match(errorText(result), message);
        assert.deepEqual(server.serverDirs().flatMap((dir) => readdirSync(dir)), []);
        assert.equal((await fakes.warehouseState()).analyst_answers_left, 0);
      } finally {
        await server.close();
      }
    }
  });
});

describe('an empty CORTEX_HARDCODED_MODEL_FILE', () => {
  it('generates models as if it were unset', async () => {
    const server = await startServer({ binDir, workDir, fakes, name: 'empty-path',
      env: { CORTEX_HARDCODED_MODEL_FILE: '' } });
    try {
      const result = await call(server, { query: 'q', candidate_urns: [] });
      assert.equal(errorText(result), 'No candidate urns provided');
    } finally {
      await server.close();
    }
  });
});

describe('start-up', () => {
  // Runs the program with standard input open and returns its exit status and standard error.
  const runProgram = (env, cwd) => new Promise((resolve) => {
    const child = spawn(path.join(binDir, 'orvane-semantic-agent'), [], { env, cwd, stdio: ['pipe', 'pipe', 'pipe'] });
    let stdout = '';
    let stderr = '';
    child.stdout.on('data', (data) => { stdout += data; });
    child.stderr.on('data', (data) => { stderr += data; });
    child.on('exit', (code) => resolve({ code, stdout, stderr }));
  });
  const environment = () => {
    const temp = makeWorkDir(workDir, 'startup-tmp-');
    return serverEnvironment({ fakes, workDir, temp });
  };

  it('fails before serving with one line on standard error and no secret', async () => {
    const missing = environment();
    delete missing.SNOWFLAKE__CONNECTION__ACCOUNT_ID;
    const refused = await runProgram(missing, workDir);
    assert.notEqual(refused.code, 0);
    assert.equal(refused.stdout, '');
    assert.match(refused.stderr, /^orvane-semantic-agent: .*account_id.*\n$/i);

    const wrong = { ...environment(), SNOWFLAKE__CONNECTION__PASSWORD: 'not-the-password-42' };
    const login = await runProgram(wrong, workDir);
    assert.notEqual(login.code, 0);
    assert.equal(login.stdout, '');
    const lines = login.stderr.trim().split('\n');
    assert.match(lines.at(-1), /^orvane-semantic-agent: /);
    assert.doesNotMatch(login.stderr, /not-the-password-42/);
    assert.deepEqual(readdirSync(wrong.TMPDIR), [], 'no directory without a connection');
  });

  it('stops on SIGTERM like at the end of input: directory deleted, session closed, status 0', async () => {
    const server = await startServer({ binDir, workDir, fakes, name: 'sigterm' });
    assert.equal(server.serverDirs().length, 1);
    assert.equal((await fakes.warehouseState()).open_sessions, 1);
    assert.deepEqual(await server.stop('SIGTERM'), { code: 0, signal: null });
    assert.deepEqual(readdirSync(server.temp), []);
    assert.equal((await fakes.warehouseState()).open_sessions, 0);
  });

  it('reads the .env file after the server module, and set variables win', async () => {
    const project = path.join(workDir, 'project');
    const nested = path.join(project, 'nested');
    mkdirSync(nested, { recursive: true });
    const env = environment();
    const password = env.SNOWFLAKE__CONNECTION__PASSWORD;
    delete env.SNOWFLAKE__CONNECTION__PASSWORD;
    writeFileSync(path.join(project, '.env'), [
      `export SNOWFLAKE__CONNECTION__PASSWORD="${password}"`,
      'SNOWFLAKE__CONNECTION__USERNAME=someone-else',
      `CORTEX_HARDCODED_MODEL_FILE=${path.join(here, 'data', 'shop_model.yml')}`,
    ].join('\n'));
    const server = await startServer({ binDir, workDir, fakes, name: 'dotenv', cwd: nested, env: {
      SNOWFLAKE__CONNECTION__PASSWORD: undefined } });
    try {
      // Logged in with the .env password and the environment's user name; the model file named
      // only in .env is not seen, so the candidates are checked.
      const result = await call(server, { query: 'q', candidate_urns: [] });
      assert.equal(errorText(result), 'No candidate urns provided');
    } finally {
      assert.equal((await server.close()).code, 0);
    }
  });
});
