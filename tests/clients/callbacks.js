'use strict';
// The Node.js client's listeners and its endings, against the stand-in (its
// banner at once here) and a program that fails before its banner: a
// listener that stops the watcher, a listener that throws (an uncaught
// exception, as Node's own emitters give, and the following changes still
// come), and a failed start that is the watcher's own ending every time.
// Usage: node callbacks.js CLIENT STAND-IN FAILING-PROGRAM
const assert = require('node:assert');
const { KeyWatcher } = require(process.argv[2]);
const [standIn, failing] = process.argv.slice(3);

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

(async () => {
  let failed = 0;
  for (const test of [aListenerMayStopTheWatcher, aThrowingListenerLosesNoChange,
    aFailedStartIsTheWatchersOwnEnding]) {
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
