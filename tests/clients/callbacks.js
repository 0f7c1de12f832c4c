'use strict';
// The Node.js client's listeners and its endings, against the stand-in (its
// banner at once here) and a program that fails before its banner: a
// listener that stops the watcher, a listener that throws (an uncaught
// exception, as Node's own emitters give, and the following changes still
// come), and a failed start that is the watcher's own ending every time.
// A start with no banner is stopped at its limit, and every failure the
// client foresees names its fix.
// Usage: node callbacks.js CLIENT STAND-IN FAILING-PROGRAM SILENT-PROGRAM
const assert = require('node:assert');
const { KeyWatcher } = require(process.argv[2]);
const [standIn, failing, silent] = process.argv.slice(3);

async function aListenerMayStopTheWatcher() {
  const watcher = new KeyWatcher(standIn);
  const seen = [];
  let stopped;
  watcher.on('change', (...change) => {
    seen.push(change.join(' '));
    if (!stopped) stopped = watcher.stop();
  });
  await watcher.start();
  const ending = await watcher.stop();
  assert.strictEqual(await stopped, ending);
  assert.deepStrictEqual([ending.stopped, ending.code], [true, 0]);
}

async function aThrowingListenerLosesNoChange() {
  const thrown = [];
  const onUncaught = (error) => thrown.push(error.message);
  process.on('uncaughtException', onUncaught);
  const watcher = new KeyWatcher(standIn);
  watcher.on('change', (name, down, count) => { throw new Error(`${name} ${count}`); });
  await watcher.start();
  for (let i = 0; i < 250 && thrown.length < 5; ++i) await new Promise((r) => setTimeout(r, 20));
  await watcher.stop();
  process.removeListener('uncaughtException', onUncaught);
  assert.deepStrictEqual(thrown, ['shift 1', 'shift 2', 'shift 1', 'ctrl 1', 'shift 0']);
}

async function aFailedStartIsTheWatchersOwnEnding() {
  const endings = new Set();
  for (let i = 0; i < 100; ++i) {
    const watcher = new KeyWatcher(failing);
    watcher.once('end', (ending) => endings.add(`${ending.stopped} ${ending.code}`));
    await assert.rejects(watcher.start(), { message: 'no keyboards here' });
  }
  assert.deepStrictEqual([...endings], ['false 1']);
}

const gone = (pid) => { try { process.kill(pid, 0); return false; } catch { return true; } };

async function aStartThatNeverEndsIsStoppedAtItsLimit() {
  const watcher = new KeyWatcher(silent);
  await assert.rejects(watcher.start({ timeoutMs: 300 }), /no banner within 0.3 s: it was stopped/);
  assert.ok(gone(watcher.child.pid), 'the watcher was left running');
}

// Each failure a client can foresee names its fix; from start(), not the constructor.
async function eachForeseenFailureNamesItsFix() {
  const fs = require('node:fs'), path = require('node:path');
  const top = fs.mkdtempSync('/tmp/orvel-client-'), modules = path.join(top, 'node_modules');
  const mine = path.join(modules, 'orvel-keywatcher'), theirs = path.join(modules, 'orvel-keywatcher-linux-x64');
  fs.mkdirSync(path.join(theirs, 'bin'), { recursive: true });
  fs.mkdirSync(mine);
  fs.copyFileSync(process.argv[2], path.join(mine, 'orvel-keywatcher.js'));
  fs.writeFileSync(path.join(mine, 'package.json'), '{"version": "1.0.0"}');
  fs.writeFileSync(path.join(theirs, 'package.json'), '{"version": "0.9.0"}');
  fs.copyFileSync(standIn, path.join(theirs, 'bin', 'orvel-keywatcher'));
  const client = require(path.join(mine, 'orvel-keywatcher.js'));
  assert.throws(() => client.bundledWatcher('linux', 'x64'), /found orvel-keywatcher-linux-x64 0.9.0.*npm install/);
  assert.throws(() => client.bundledWatcher('win32', 'arm64'),
    /--omit=optional\), run npm install --include=optional; where the lock file.*package-lock.json/);
  assert.throws(() => client.bundledWatcher('aix', 'ppc64'), /no program for aix ppc64.*ORVEL_KEYWATCHER_PROGRAM/);
  fs.copyFileSync(standIn, path.join(top, 'plain'));
  fs.chmodSync(path.join(top, 'plain'), 0o644);
  await assert.rejects(new KeyWatcher(path.join(top, 'plain')).start(), /lost its execute bit.*chmod \+x/);
  await assert.rejects(new KeyWatcher(`${top}/app.asar.unpacked/node_modules/x/bin/orvel-keywatcher`).start(),
    /inside app.asar.*asarUnpack/);
  process.env.ORVEL_KEYWATCHER_PROGRAM = `${top}/nothing`;
  await assert.rejects(new KeyWatcher().start(), /ORVEL_KEYWATCHER_PROGRAM names .*nothing, which cannot be run/);
  process.env.ORVEL_KEYWATCHER_PROGRAM = standIn;
  const overridden = new KeyWatcher();
  await overridden.start();
  assert.strictEqual((await overridden.stop()).code, 0);
  delete process.env.ORVEL_KEYWATCHER_PROGRAM;
  fs.rmSync(top, { recursive: true });
}

(async () => {
  let failed = 0;
  for (const test of [aListenerMayStopTheWatcher, aThrowingListenerLosesNoChange,
    aFailedStartIsTheWatchersOwnEnding, aStartThatNeverEndsIsStoppedAtItsLimit, eachForeseenFailureNamesItsFix]) {
    try {
      await test();
      console.log(`ok node: ${test.name}`);
    } catch (error) {
      console.log(`FAIL node: ${test.name}: ${error.message}`);
      failed += 1;
    }
  }
  process.exitCode = failed ? 1 : 0;
})();
