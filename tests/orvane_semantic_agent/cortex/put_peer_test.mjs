// The official Node.js warehouse driver and our put_file_driver upload the same local files
// with PUT into two stages of the fake warehouse program (LOCAL_FS location type): a small
// file, an empty file, a file of several MB, a file that is already gzip, a wildcard matching
// three files, and a name with a space and a quote. The fake's stage directories must then hold
// the same file names with the same content (after gunzip), equal to the local files.
//
//   node put_peer_test.mjs <path of fake_snowflake> <path of put_file_driver>
//
// Runs twice: as the launcher (starts the fake, then itself as the client; fake_launcher.mjs),
// then as the client.
import { spawnSync } from 'node:child_process';
import { mkdirSync, mkdtempSync, readdirSync, readFileSync, writeFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { gunzipSync, gzipSync } from 'node:zlib';
import assert from 'node:assert/strict';

import { launchBesideFake } from '../../fakes/snowflake/fake_launcher.mjs';

const here = path.dirname(fileURLToPath(import.meta.url));
const DRIVER = path.resolve(here, '../../npm/node_modules/snowflake-sdk');

if (process.env.FAKE_URL) {
  await runClient();
} else {
  await launch(process.argv[2], process.argv[3]);
}

async function launch(fakeProgram, putFileDriver) {
  assert.ok(fakeProgram && putFileDriver, 'usage: node put_peer_test.mjs <fake_snowflake> <put_file_driver>');
  const dir = mkdtempSync(path.join(tmpdir(), 'put-peer-'));
  launchBesideFake({
    name: 'put_peer_test',
    fakeProgram,
    fakeArgs: [
      '--port', '0', '--sqlite', path.join(dir, 'warehouse.sqlite'), '--tls-dir', path.join(dir, 'tls'),
      '--user', 'peer_user', '--password', 'peer-secret', '--stage-dir', path.join(dir, 'stages'),
    ],
    dir,
    clientScript: fileURLToPath(import.meta.url),
    clientEnv: { PUT_FILE_DRIVER: path.resolve(putFileDriver) },
  });
}

function writeLocalFiles(local) {
  mkdirSync(local, { recursive: true });
  const large = Buffer.alloc(3 * 1024 * 1024 + 5);
  for (let i = 0; i < large.length; i++) large[i] = 97 + ((i * 7919) % 23);
  const files = {
    'small.csv': Buffer.from('id,name\n1,alpha\n'),
    'empty.csv': Buffer.alloc(0),
    'large.csv': large,
    'packed.csv.gz': gzipSync(Buffer.from('already,packed\n')),
    'part_1.csv': Buffer.from('part one\n'),
    'part_2.csv': Buffer.from('part two\n'),
    'part_3.csv': Buffer.from('part three\n'),
    "odd name's.yaml": Buffer.from('name: odd\n'),
  };
  for (const [name, bytes] of Object.entries(files)) writeFileSync(path.join(local, name), bytes);
  return files;
}

async function runClient() {
  const dir = process.env.WORK_DIR;
  const local = path.join(dir, 'local');
  const files = writeLocalFiles(local);
  const uploads = ['small.csv', 'empty.csv', 'large.csv', 'packed.csv.gz', 'part_*.csv', "odd name's.yaml"];

  const snowflake = createRequire(import.meta.url)(DRIVER);
  snowflake.configure({ logLevel: 'OFF' });
  const connection = await connect(snowflake, { account: 'peeracct', accessUrl: process.env.FAKE_URL,
    username: 'peer_user', password: 'peer-secret' });
  for (const name of uploads) {
    const quoted = `'file://${path.join(local, name).replace(/\\/g, '\\\\').replace(/'/g, "\\'")}'`;
    const rows = await execute(connection, `PUT ${quoted} @node_stage`);
    assert.ok(rows.length >= 1, name);
    for (const row of rows) assert.equal(row.status, 'UPLOADED', `${name}: ${JSON.stringify(row)}`);
  }
  await close(connection);

  const environment = {
    ...process.env,
    SSL_CERT_FILE: process.env.NODE_EXTRA_CA_CERTS,
    SNOWFLAKE__CONNECTION__ACCOUNT_ID: 'peeracct',
    SNOWFLAKE__CONNECTION__USERNAME: 'peer_user',
    SNOWFLAKE__CONNECTION__PASSWORD: 'peer-secret',
    snowflake__connection__host: '127.0.0.1', // names are matched without regard to case
    SNOWFLAKE__CONNECTION__PORT: process.env.FAKE_PORT,
  };
  for (const name of uploads) {
    const run = spawnSync(process.env.PUT_FILE_DRIVER, ['@ours_stage', path.join(local, name)],
      { env: environment, encoding: 'utf8' });
    assert.equal(run.status, 0, `put_file_driver ${name}: ${run.stderr}`);
    assert.equal(run.stdout, `@ours_stage/${name}\n`);
  }
  const failed = spawnSync(process.env.PUT_FILE_DRIVER, ['@ours_stage', path.join(local, 'missing.csv')],
    { env: environment, encoding: 'utf8' });
  assert.equal(failed.status, 1);
  assert.match(failed.stderr, /missing\.csv/);
  assert.equal(failed.stdout, '');

  const stages = path.join(dir, 'stages');
  const listing = (stage) => readdirSync(path.join(stages, stage)).sort();
  assert.deepEqual(listing('ours_stage'), listing('node_stage'));
  const expected = Object.keys(files).map((name) => (name.endsWith('.gz') ? name : `${name}.gz`)).sort();
  assert.deepEqual(listing('ours_stage'), expected);
  for (const stored of expected) {
    const source = stored === 'packed.csv.gz' ? stored : stored.slice(0, -3);
    const content = (stage) => {
      const bytes = readFileSync(path.join(stages, stage, stored));
      return stored === 'packed.csv.gz' ? bytes : gunzipSync(bytes);
    };
    assert.ok(content('ours_stage').equals(files[source]), `ours: ${stored}`);
    assert.ok(content('node_stage').equals(files[source]), `node: ${stored}`);
  }
  // Both gzip with zero time stamps; equal bytes are likely but not required (zlib builds differ).
  const identical = expected.filter((stored) => readFileSync(path.join(stages, 'ours_stage', stored))
    .equals(readFileSync(path.join(stages, 'node_stage', stored)))).length;
  console.log(`put_peer_test: ${expected.length} stage files agree (${identical} byte for byte)`);
}

function connect(snowflake, options) {
  return new Promise((resolve, reject) => {
    snowflake.createConnection(options).connect((error, connection) => (error ? reject(error) : resolve(connection)));
  });
}

function close(connection) {
  return new Promise((resolve, reject) => connection.destroy((error) => (error ? reject(error) : resolve())));
}

function execute(connection, sqlText) {
  return new Promise((resolve, reject) => {
    connection.execute({ sqlText, complete: (error, statement, rows) => (error ? reject(error) : resolve(rows)) });
  });
}
