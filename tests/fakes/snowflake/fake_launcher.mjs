// Starts the fake warehouse program, waits for "listening on 127.0.0.1:N", then runs a client
// script in a fresh node process (so NODE_EXTRA_CA_CERTS, read only at start-up, can name the
// fake's CA) and exits with the client's status, stopping the fake and removing `dir`.
//
//   launchBesideFake({ name: 'sdk_peer_test', fakeProgram, fakeArgs: ['--port', '0', ...], dir,
//                      clientScript: fileURLToPath(import.meta.url), clientEnv: { X: '1' } });
//
// The client sees FAKE_URL ("https://127.0.0.1:N"), FAKE_PORT, WORK_DIR (= dir),
// NODE_EXTRA_CA_CERTS (dir/tls/ca.pem, so fakeArgs must put --tls-dir there) and
// SNOWFLAKE_DISABLE_PLATFORM_DETECTION, besides `clientEnv` and the launcher's environment.
import { spawn } from 'node:child_process';
import { rmSync } from 'node:fs';
import path from 'node:path';

export function launchBesideFake({ name, fakeProgram, fakeArgs, dir, clientScript, clientEnv = {} }) {
  const fake = spawn(fakeProgram, fakeArgs, { stdio: ['ignore', 'pipe', 'inherit'] });
  const failTimer = setTimeout(() => finish(1, 'timed out'), 120000);
  const finish = (code, why) => {
    clearTimeout(failTimer);
    fake.kill('SIGTERM');
    rmSync(dir, { recursive: true, force: true });
    if (why) console.error(`${name}: ${why}`);
    process.exit(code);
  };
  fake.on('error', (error) => finish(1, `the fake cannot start: ${error.message}`));
  fake.on('exit', (code) => finish(1, `the fake exited early (${code})`));

  let output = '';
  let started = false;
  fake.stdout.on('data', (data) => {
    output += data;
    const match = /^listening on (127\.0\.0\.1:(\d+))$/m.exec(output);
    if (!match || started) return;
    started = true;
    fake.removeAllListeners('exit');
    const client = spawn(process.execPath, [clientScript], {
      cwd: dir, // the driver may write snowflake.log into its working directory
      stdio: 'inherit',
      env: {
        ...process.env,
        ...clientEnv,
        FAKE_URL: `https://${match[1]}`,
        FAKE_PORT: match[2],
        WORK_DIR: dir,
        NODE_EXTRA_CA_CERTS: path.join(dir, 'tls', 'ca.pem'),
        SNOWFLAKE_DISABLE_PLATFORM_DETECTION: 'true',
      },
    });
    client.on('exit', (code) => finish(code === 0 ? 0 : 1, code === 0 ? '' : 'client failed'));
  });
}
