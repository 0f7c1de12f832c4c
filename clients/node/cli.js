#!/usr/bin/env node
'use strict';
// `npx orvel-keywatcher`: the program of this system's package, run with the
// streams it was given; the stop signals are passed on, and its status is
// this process's own: an exit status as it is, a signal that killed it (a
// reader gone: SIGPIPE) by the same signal.
const { spawn } = require('node:child_process');
const { bundledWatcher, programFault } = require('./orvel-keywatcher.js');

let program;
try {
  program = bundledWatcher();
} catch (error) {
  console.error(error.message);
  process.exit(1);
}
// SIGQUIT too, which would end Node.js and leave the program running.
const passedOn = process.platform === 'win32' ? ['SIGINT', 'SIGHUP'] : ['SIGINT', 'SIGTERM', 'SIGHUP', 'SIGQUIT'];
const child = spawn(program, process.argv.slice(2), { stdio: 'inherit' });
for (const signal of passedOn) process.on(signal, () => child.kill(signal));
child.on('error', (error) => {
  console.error(programFault(program, error).message);
  process.exit(1);
});
child.on('exit', (code, signal) => {
  if (!signal) process.exit(code);
  for (const passed of passedOn) process.removeAllListeners(passed);
  // Node ignores SIGPIPE; a listener added and taken away again leaves the
  // signal's default action, which ends the process.
  process.on(signal, () => {});
  process.removeAllListeners(signal);
  process.kill(process.pid, signal);
});
