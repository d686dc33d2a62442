// Drives the official Node.js warehouse driver against the fake warehouse program, over HTTPS
// with the fake's own CA, to prove the fake speaks the real protocol: logins with a password,
// a key pair, an OAuth token and a programmatic access token; typed values with nulls; a result
// split into chunks; a statement error; a long-running statement that must be polled.
//
//   node sdk_peer_test.mjs <path of fake_snowflake>
//
// The script runs twice: first as the launcher (starts the fake, then itself again with the
// fake's CA in NODE_EXTRA_CA_CERTS, which node reads only at start-up), then as the client.
// A missing driver installation fails the test.
import { generateKeyPairSync } from 'node:crypto';
import { mkdtempSync, writeFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import assert from 'node:assert/strict';

import { launchBesideFake } from './fake_launcher.mjs';

const here = path.dirname(fileURLToPath(import.meta.url));
const DRIVER = path.resolve(here, '../../npm/node_modules/snowflake-sdk');
const ROWS_PER_CHUNK = 4;
const OAUTH_TOKEN = 'peer-oauth-token';
const PAT = 'peer-programmatic-token';

if (process.env.FAKE_URL) {
  await runClient();
} else {
  await launch(process.argv[2]);
}

async function launch(fakeProgram) {
  assert.ok(fakeProgram, 'usage: node sdk_peer_test.mjs <fake_snowflake program>');
  const dir = mkdtempSync(path.join(tmpdir(), 'sdk-peer-'));
  const keys = generateKeyPairSync('rsa', { modulusLength: 2048 });
  const privateKeyFile = path.join(dir, 'client.key');
  const publicKeyFile = path.join(dir, 'client.pub');
  writeFileSync(privateKeyFile, keys.privateKey.export({ type: 'pkcs8', format: 'pem' }));
  writeFileSync(publicKeyFile, keys.publicKey.export({ type: 'spki', format: 'pem' }));

  launchBesideFake({
    name: 'sdk_peer_test',
    fakeProgram,
    fakeArgs: [
      '--port', '0', '--sqlite', path.join(dir, 'warehouse.sqlite'), '--tls-dir', path.join(dir, 'tls'),
      '--user', 'peer_user', '--password', 'peer-secret', '--public-key', publicKeyFile,
      '--oauth-token', OAUTH_TOKEN, '--programmatic-access-token', PAT,
      '--rows-per-chunk', String(ROWS_PER_CHUNK),
    ],
    dir,
    clientScript: fileURLToPath(import.meta.url),
    clientEnv: { PEER_PRIVATE_KEY_FILE: privateKeyFile },
  });
}

async function runClient() {
  assert.equal(process.env.SNOWFLAKE_DISABLE_PLATFORM_DETECTION, 'true');
  const snowflake = createRequire(import.meta.url)(DRIVER);
  snowflake.configure({ logLevel: 'OFF' });
  const base = { account: 'peeracct', accessUrl: process.env.FAKE_URL, username: 'peer_user',
    database: 'PEER_DB', schema: 'PUBLIC', warehouse: 'PEER_WH', role: 'PEER_ROLE' };

  const connection = await connect(snowflake, { ...base, password: 'peer-secret' });
  await checkTypedValues(connection);
  await checkChunkedResult(connection);
  await checkStatementError(connection);
  await checkPolledStatement(connection);
  await close(connection);

  const others = [
    { authenticator: 'SNOWFLAKE_JWT', privateKeyPath: process.env.PEER_PRIVATE_KEY_FILE },
    { authenticator: 'OAUTH', token: OAUTH_TOKEN },
    { authenticator: 'PROGRAMMATIC_ACCESS_TOKEN', token: PAT },
  ];
  for (const options of others) {
    const other = await connect(snowflake, { ...base, ...options });
    const rows = await execute(other, 'SELECT 41 + 1 AS ANSWER');
    assert.equal(rows[0].ANSWER, 42, options.authenticator);
    await close(other);
  }
  await assert.rejects(connect(snowflake, { ...base, password: 'wrong' }),
    (error) => error.code === '390100' || /390100|Incorrect username/.test(String(error.message)));
  console.log('sdk_peer_test: all checks passed');
}

async function checkTypedValues(connection) {
  await execute(connection, `CREATE TABLE typed (id INTEGER, amount NUMBER(12,2), ratio DOUBLE,
    label VARCHAR(20), flag BOOLEAN, day DATE, at_ntz TIMESTAMP_NTZ(9), at_ltz TIMESTAMP_LTZ(3),
    at_tz TIMESTAMP_TZ(3), doc VARIANT)`);
  const inserted = await execute(connection, `INSERT INTO typed VALUES
    (1, 1234.5, 0.25, 'alpha', true, '2024-02-29', '2024-02-29 13:14:15.123456789',
     '2024-02-29 13:14:15.5', '2024-02-29 13:14:15.25+05:30', '{"k":[1,2]}'),
    (2, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL),
    (-3, -0.05, -1e10, 'omega ''quoted''', false, '1969-07-20', '1969-07-20 20:17:40',
     '1970-01-01 00:00:00Z', '2000-01-01 00:00:00-08:00', '[]')`);
  assert.equal(inserted[0]['number of rows inserted'], 3);

  const statement = {};
  const rows = await execute(connection, 'SELECT * FROM typed ORDER BY id DESC', statement);
  const types = statement.value.getColumns().map((column) => `${column.getName()}:${column.getType()}`);
  assert.deepEqual(types, ['ID:fixed', 'AMOUNT:fixed', 'RATIO:real', 'LABEL:text', 'FLAG:boolean',
    'DAY:date', 'AT_NTZ:timestamp_ntz', 'AT_LTZ:timestamp_ltz', 'AT_TZ:timestamp_tz', 'DOC:variant']);
  assert.equal(rows.length, 3);

  const [nulls, first, last] = rows;
  assert.equal(nulls.ID, 2);
  assert.equal(first.ID, 1);
  for (const name of ['AMOUNT', 'RATIO', 'LABEL', 'FLAG', 'DAY', 'AT_NTZ', 'AT_LTZ', 'AT_TZ', 'DOC']) {
    assert.equal(nulls[name], null, `${name} of the null row`);
  }
  assert.equal(first.AMOUNT, 1234.5);
  assert.equal(first.RATIO, 0.25);
  assert.equal(first.LABEL, 'alpha');
  assert.equal(first.FLAG, true);
  assert.equal(first.DAY.getTime(), Date.UTC(2024, 1, 29));
  assert.equal(first.AT_NTZ.getTime(), Date.UTC(2024, 1, 29, 13, 14, 15, 123));
  assert.equal(first.AT_NTZ.getNanoSeconds(), 123456789);
  assert.equal(first.AT_LTZ.getTime(), Date.UTC(2024, 1, 29, 13, 14, 15, 500));
  assert.equal(first.AT_TZ.getTime(), Date.UTC(2024, 1, 29, 7, 44, 15, 250));
  assert.equal(first.AT_TZ.getTimezone(), 330);
  assert.deepEqual(first.DOC, { k: [1, 2] });

  assert.equal(last.ID, -3);
  assert.equal(last.AMOUNT, -0.05);
  assert.equal(last.RATIO, -1e10);
  assert.equal(last.LABEL, "omega 'quoted'");
  assert.equal(last.FLAG, false);
  assert.equal(last.DAY.getTime(), Date.UTC(1969, 6, 20));
  assert.equal(last.AT_NTZ.getTime(), Date.UTC(1969, 6, 20, 20, 17, 40));
  assert.equal(last.AT_LTZ.getTime(), 0);
  assert.equal(last.AT_TZ.getTime(), Date.UTC(2000, 0, 1, 8));
  assert.equal(last.AT_TZ.getTimezone(), -480);
  assert.deepEqual(last.DOC, []);

  const strings = await execute(connection, 'SELECT amount, day FROM typed WHERE id = 1', {},
    { fetchAsString: ['Number', 'Date'] });
  assert.equal(strings[0].AMOUNT, '1234.50');
  assert.equal(strings[0].DAY, '2024-02-29');
}

async function checkChunkedResult(connection) {
  const count = 11;  // 4 inline rows, then chunks of 4 and 3 downloaded from the fake
  await execute(connection, 'CREATE TABLE series (n INTEGER, word TEXT)');
  const values = Array.from({ length: count }, (_, i) => `(${i + 1}, ${i === 5 ? 'NULL' : `'w${i + 1}'`})`);
  await execute(connection, `INSERT INTO series VALUES ${values.join(', ')}`);
  const rows = await execute(connection, 'SELECT n, word FROM series ORDER BY n');
  assert.equal(rows.length, count);
  rows.forEach((row, i) => {
    assert.equal(row.N, i + 1);
    assert.equal(row.WORD, i === 5 ? null : `w${i + 1}`);
  });
}

async function checkStatementError(connection) {
  await assert.rejects(execute(connection, 'SELECT * FROM no_such_table'), (error) => {
    assert.equal(error.code, '002003');
    assert.equal(error.sqlState, '42S02');
    assert.match(error.message, /no_such_table/);
    assert.ok(error.data.queryId);
    return true;
  });
}

async function checkPolledStatement(connection) {
  const rows = await execute(connection, "SELECT SYSTEM$WAIT(600, 'MILLISECONDS') AS WAITED");
  assert.equal(rows[0].WAITED, 'waited 600 MILLISECONDS');
}

function connect(snowflake, options) {
  return new Promise((resolve, reject) => {
    snowflake.createConnection(options).connect((error, connection) => (error ? reject(error) : resolve(connection)));
  });
}

function close(connection) {
  return new Promise((resolve, reject) => connection.destroy((error) => (error ? reject(error) : resolve())));
}

function execute(connection, sqlText, holder = {}, extra = {}) {
  return new Promise((resolve, reject) => {
    holder.value = connection.execute({
      sqlText,
      ...extra,
      complete: (error, statement, rows) => (error ? reject(error) : resolve(rows)),
    });
  });
}
