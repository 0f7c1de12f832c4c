'use strict';
// A client for orvel-keywatcher, the modifier key watcher: one file to copy
// into a Node.js or Electron program, with nothing beyond Node's own library.
// docs/embedding.md says how the watcher is bundled and why this is done so.
//
//   const { KeyWatcher } = require('orvel-keywatcher');  // or './orvel-keywatcher'
//   const watcher = new KeyWatcher();  // the program of this system's package,
//                                      // or new KeyWatcher('/path/to/orvel-keywatcher')
//   watcher.on('change', (name, down, count) => { ... });  // 'shift', true, 1
//   await watcher.start();       // once it watches; rejects with its message, or
//                                // one that names the fix where it cannot start
//   watcher.isDown('shift');     // either Shift key is held
//   const ending = await watcher.stop();  // { stopped: true, code: 0, ... }
//
// Run as a program it prints each change with its count until its standard
// input ends, Ctrl-C or SIGTERM: node orvel-keywatcher.js /path/to/orvel-keywatcher

const { spawn } = require('node:child_process');
const { EventEmitter } = require('node:events');
const fs = require('node:fs');
const readline = require('node:readline');

// The watcher's one line on standard error once it watches: its ready signal.
const BANNER = 'Orvel macOS key watcher started';

// The npm package that holds the program for each system and architecture,
// installed as an optional dependency of this one where it matches.
const PROGRAM_PACKAGES = {
  'darwin arm64': 'orvel-keywatcher-darwin-universal',
  'darwin x64': 'orvel-keywatcher-darwin-universal',
  'linux arm64': 'orvel-keywatcher-linux-arm64',
  'linux x64': 'orvel-keywatcher-linux-x64',
  'win32 arm64': 'orvel-keywatcher-win32-arm64',
  'win32 x64': 'orvel-keywatcher-win32-x64',
};

// The override, for a distribution's own build, an air-gapped install or a
// test double: a program's path, checked as a bundled one is.
const OVERRIDE = 'ORVEL_KEYWATCHER_PROGRAM';

// An Error whose message says what went wrong and the one thing to do.
function fault(text) {
  return new Error(`orvel-keywatcher: ${text}`);
}

// The main package's version, or '' where this file was copied on its own.
function ownVersion() {
  try {
    return require('./package.json').version;
  } catch {
    return '';
  }
}

// The program of this system's package, or the override's. Inside an
// Electron app it is run from app.asar.unpacked, where the app's build puts
// it (asarUnpack): no program can be run from inside the archive. Throws
// an Error that names the fix where there is none; new KeyWatcher() defers
// it to start().
function bundledWatcher(platform = process.platform, arch = process.arch) {
  const override = process.env[OVERRIDE];
  if (override) return checkedProgram(override, `${OVERRIDE} names ${override}, which`);
  const name = PROGRAM_PACKAGES[`${platform} ${arch}`];
  if (!name) {
    throw fault(`there is no program for ${platform} ${arch} (there are programs for ` +
      `${Object.keys(PROGRAM_PACKAGES).join(', ')}); build one from source and name it in ${OVERRIDE}`);
  }
  const program = `${name}/bin/orvel-keywatcher${platform === 'win32' ? '.exe' : ''}`;
  const version = ownVersion();
  let path;
  try {
    path = require.resolve(program);
  } catch {
    throw fault(`the package ${name}, which holds the program for ${platform} ${arch}, is not ` +
      'installed. Where optional dependencies were left out (--omit=optional), run npm install ' +
      '--include=optional; where the lock file was made on another system, remove node_modules and ' +
      `package-lock.json and run npm install; where the registry lacks ${name}${version && `@${version}`}, ` +
      `mirror it there, or name a program in ${OVERRIDE}`);
  }
  try {
    const theirs = require(`${name}/package.json`).version;
    if (version && theirs !== version) {
      throw fault(`orvel-keywatcher ${version} found ${name} ${theirs}, which it does not match: ` +
        'remove node_modules and run npm install, so that both come at one version');
    }
  } catch (error) {
    if (error.message.startsWith('orvel-keywatcher:')) throw error;
  }
  return checkedProgram(path.replace(/([\\/])app\.asar([\\/])/, '$1app.asar.unpacked$2'), path);
}

// `path` where it is a file that may be run; otherwise an Error naming the
// fix. `what` names it in the message.
function checkedProgram(path, what = path) {
  try {
    fs.accessSync(path, process.platform === 'win32' ? fs.constants.F_OK : fs.constants.X_OK);
    return path;
  } catch (error) {
    throw programFault(path, error, what);
  }
}

function programFault(path, error, what = path) {
  if (error.code === 'ENOENT' && /[\\/]app\.asar\.unpacked[\\/]/.test(path)) {
    return fault(`${path} is not there: no program can be run from inside app.asar, and the app's ` +
      'build must unpack it: add "node_modules/orvel-keywatcher-*/**" to asarUnpack (electron-builder), ' +
      'or unpack it in Electron Forge (packagerConfig.asar.unpack)');
  }
  if (error.code === 'EACCES') {
    return fault(`${what} may not be run: it has lost its execute bit (an archive or a copy that ` +
      `kept no file modes): chmod +x ${path}, or install the package again`);
  }
  return fault(`${what} cannot be run: ${error.message}`);
}

// On Linux, the watcher installed on the system (the Debian package's, or
// a source install's), which may be setgid to the keyboards' group, as a
// bundled copy cannot be: its path, or null where there is none.
function installedWatcher() {
  if (process.platform !== 'linux') return null;
  for (const path of ['/usr/bin/orvel-keywatcher', '/usr/local/bin/orvel-keywatcher']) {
    try {
      fs.accessSync(path, fs.constants.X_OK);
      return path;
    } catch {
      // not there
    }
  }
  return null;
}

// The children of this process's watchers, each ended with its host: on
// 'exit', and on SIGINT, SIGTERM and SIGHUP the way signal-exit does it. A
// handler is there only while a watcher runs; it sends each child SIGTERM
// (the orderly stop) and, where it is the signal's only listener, removes
// itself and raises the signal again, so the host ends as it would have.
// Where the host listens too, it decides: its 'exit' ends the children.
const children = new Set();
const HOST_SIGNALS = process.platform === 'win32' ? ['SIGINT', 'SIGHUP'] : ['SIGINT', 'SIGTERM', 'SIGHUP'];
const endChildren = () => children.forEach((child) => child.kill());
const onHostSignal = {};
for (const signal of HOST_SIGNALS) {
  onHostSignal[signal] = () => {
    endChildren();
    if (process.listenerCount(signal) === 1) {
      untrackAll();
      process.kill(process.pid, signal);
    }
  };
}

function track(child) {
  if (children.size === 0) {
    process.on('exit', endChildren);
    for (const signal of HOST_SIGNALS) process.on(signal, onHostSignal[signal]);
  }
  children.add(child);
}

function untrack(child) {
  if (children.delete(child) && children.size === 0) untrackAll();
}

function untrackAll() {
  process.removeListener('exit', endChildren);
  for (const signal of HOST_SIGNALS) process.removeListener(signal, onHostSignal[signal]);
}

class KeyWatcher extends EventEmitter {
  // Events: 'change' (name, down, count) for each change line, count being
  // how many keys of that name are down now; 'message' (text) for a line the
  // watcher writes on standard error after it started; 'end' (ending). A
  // listener may call stop().
  // `path` is the program to start: by default ORVEL_KEYWATCHER_PROGRAM's,
  // or that of this system's package (bundledWatcher()), or on Linux
  // installedWatcher(). Where there is none, start() rejects saying why.
  constructor(path) {
    super();
    this.path = path;
    if (path === undefined) {
      try {
        this.path = bundledWatcher();
      } catch (error) {
        this.pathError = error;
      }
    }
    this.counts = new Map();
    this.child = null;
    this.stopping = false;
  }

  // Starts the watcher, once per KeyWatcher. Resolves once it watches;
  // rejects with an Error whose message is the watcher's own (status 1 on
  // Linux: it cannot read the keyboards; show it to the user as it is) if it
  // ends first.
  // `timeoutMs`: a watcher that has not said it watches by then is stopped,
  // and start() rejects.
  start({ timeoutMs = 10000 } = {}) {
    if (this.ready) return this.ready;
    if (this.pathError) return (this.ready = Promise.reject(this.pathError));
    this.ready = new Promise((resolve, reject) => {
      // No console window on Windows; standard input is not read.
      const child = spawn(this.path, [], { stdio: ['ignore', 'pipe', 'pipe'], windowsHide: true });
      this.child = child;
      let started = false;
      let spawnError = null;
      const said = [];
      track(child);
      const limit = setTimeout(() => {
        said.push(`orvel-keywatcher: no banner within ${timeoutMs / 1000} s: it was stopped`);
        this.stop();
      }, timeoutMs);
      this.ended = new Promise((resolveEnd) => {
        child.on('error', (error) => { spawnError = spawnError || programFault(this.path, error); });
        child.once('close', (code, signal) => {
          clearTimeout(limit);
          untrack(child);
          // No U lines come at a stop: whatever was held is forgotten.
          this.counts.clear();
          const ending = { stopped: this.stopping, code, signal, message: said.join('\n') };
          if (!started) reject(spawnError || new Error(ending.message || describe(ending)));
          this.emit('end', ending);
          resolveEnd(ending);
        });
      });
      // Changes are delivered once start() has resolved, as the watcher
      // writes its banner before any change: lines read before it wait.
      const early = [];
      readline.createInterface({ input: child.stderr }).on('line', (line) => {
        if (!started && line === BANNER) {
          started = true;
          clearTimeout(limit);
          resolve();
          queueMicrotask(() => early.splice(0).forEach((change) => this.apply(change)));
          return;
        }
        said.push(line);
        if (started) this.emit('message', line);
      });
      readline.createInterface({ input: child.stdout }).on('line', (line) => {
        if (started) this.apply(line);
        else early.push(line);
      });
    });
    return this.ready;
  }

  // "D shift" or "U shift": the names that two keys share (shift, ctrl, alt)
  // are counted, so letting go of one Shift leaves the other held.
  apply(line) {
    const match = /^([DU]) ([a-z_]+)$/.exec(line);
    if (!match) return;
    const [, state, name] = match;
    const down = state === 'D';
    const count = Math.max(0, this.count(name) + (down ? 1 : -1));
    if (count > 0) this.counts.set(name, count);
    else this.counts.delete(name);
    try {
      this.emit('change', name, down, count);
    } catch (error) {
      // A listener's own error is thrown again, uncaught, as an emitter's
      // would be; the lines after it are still read and counted.
      process.nextTick(() => { throw error; });
    }
  }

  count(name) { return this.counts.get(name) || 0; }

  isDown(name) { return this.count(name) > 0; }

  // Stops the watcher and resolves with how it ended. SIGTERM on macOS and
  // Linux, the orderly stop; on Windows kill() ends the process, which loses
  // nothing, since every line left whole. SIGKILL if it has not ended after
  // `graceMs`.
  stop(graceMs = 2000) {
    if (!this.child) return Promise.resolve(null);
    const child = this.child;
    if (child.exitCode === null && child.signalCode === null) {
      this.stopping = true;
      child.kill('SIGTERM');
      const timer = setTimeout(() => child.kill('SIGKILL'), graceMs);
      this.ended.then(() => clearTimeout(timer));
    }
    return this.ended;
  }
}

// "exit 1", "signal SIGPIPE": how the watcher ended, in a few words.
function describe(ending) {
  return ending.signal ? `signal ${ending.signal}` : `exit ${ending.code}`;
}

module.exports = { KeyWatcher, BANNER, OVERRIDE, describe, bundledWatcher, installedWatcher, programFault };

if (require.main === module) {
  const watcher = new KeyWatcher(process.argv[2]);
  watcher.on('change', (name, down, count) => {
    console.log(`${name} ${down ? 'down' : 'up'} ${count}`);
  });
  watcher.on('message', (text) => console.error(text));
  watcher.start().then(() => {
    console.log('ready');
    watcher.on('end', (ending) => {
      console.log(`ended: ${ending.stopped ? 'stopped' : 'by itself'}, ${describe(ending)}`);
      process.stdin.destroy();
    });
    // Until its input ends, Ctrl-C or SIGTERM.
    const stop = () => watcher.stop();
    process.once('SIGINT', stop).once('SIGTERM', stop);
    process.stdin.on('end', stop).resume();
  }, (error) => {
    console.error(error.message);
    process.exitCode = 1;
  });
}
