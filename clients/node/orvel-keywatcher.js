'use strict';
// A client for orvel-keywatcher, the modifier key watcher: one file to copy
// into a Node.js or Electron program, with nothing beyond Node's own library.
// docs/embedding.md says how the watcher is bundled and why this is done so.
//
//   const { KeyWatcher } = require('orvel-keywatcher');  // or './orvel-keywatcher'
//   const watcher = new KeyWatcher();  // the program of this system's package,
//                                      // or new KeyWatcher('/path/to/orvel-keywatcher')
//   watcher.on('change', (name, down, count) => { ... });  // 'shift', true, 1
//   await watcher.start();       // once it watches; rejects with its message
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

// The program of this system's package. Inside an Electron app it is run
// from app.asar.unpacked, where the app's build puts it (asarUnpack): no
// program can be run from inside the archive.
function bundledWatcher(platform = process.platform, arch = process.arch) {
  const name = PROGRAM_PACKAGES[`${platform} ${arch}`];
  if (!name) {
    throw new Error(`orvel-keywatcher has no program for ${platform} ${arch} ` +
      `(there are programs for ${Object.keys(PROGRAM_PACKAGES).join(', ')})`);
  }
  const program = `${name}/bin/orvel-keywatcher${platform === 'win32' ? '.exe' : ''}`;
  let path;
  try {
    path = require.resolve(program);
  } catch {
    let version = '';
    try {
      version = `@${require('./package.json').version}`;
    } catch {
      // this file copied on its own, without its package
    }
    throw new Error(`orvel-keywatcher: the package ${name}, which holds the program for ` +
      `${platform} ${arch}, is not installed (optional dependencies left out, or a lock file ` +
      `made on another system): npm install ${name}${version}`);
  }
  return path.replace(/([\\/])app\.asar([\\/])/, '$1app.asar.unpacked$2');
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

class KeyWatcher extends EventEmitter {
  // Events: 'change' (name, down, count) for each change line, count being
  // how many keys of that name are down now; 'message' (text) for a line the
  // watcher writes on standard error after it started; 'end' (ending). A
  // listener may call stop().
  // `path` is the program to start: by default that of this system's
  // package (bundledWatcher()), or on Linux installedWatcher().
  constructor(path = bundledWatcher()) {
    super();
    this.path = path;
    this.counts = new Map();
    this.child = null;
    this.stopping = false;
  }

  // Starts the watcher, once per KeyWatcher. Resolves once it watches;
  // rejects with an Error whose message is the watcher's own (status 1 on
  // Linux: it cannot read the keyboards; show it to the user as it is) if it
  // ends first.
  start() {
    if (this.child) return this.ready;
    this.ready = new Promise((resolve, reject) => {
      // No console window on Windows; standard input is not read.
      const child = spawn(this.path, [], { stdio: ['ignore', 'pipe', 'pipe'], windowsHide: true });
      this.child = child;
      let started = false;
      let spawnError = null;
      const said = [];
      const killOnExit = () => child.kill();
      process.once('exit', killOnExit);
      this.ended = new Promise((resolveEnd) => {
        child.on('error', (error) => { spawnError = spawnError || error; });
        child.once('close', (code, signal) => {
          process.removeListener('exit', killOnExit);
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

module.exports = { KeyWatcher, BANNER, describe, bundledWatcher, installedWatcher };

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
