// Types of the Node.js client, orvel-keywatcher.js. They use Node.js's own
// types (EventEmitter, NodeJS.Signals): a TypeScript program needs
// @types/node among its development dependencies, as any Node.js program has.
import { EventEmitter } from 'node:events';

/** The watcher's one line on standard error once it watches. */
export declare const BANNER: string;

/** How the watcher ended. */
export interface Ending {
  /** Ended after stop() was called. */
  stopped: boolean;
  /** Its exit status, or null where a signal ended it. */
  code: number | null;
  /** The signal that ended it ('SIGTERM', 'SIGPIPE'), or null. */
  signal: NodeJS.Signals | null;
  /** What it wrote on standard error besides the banner. */
  message: string;
}

export declare class KeyWatcher extends EventEmitter {
  /**
   * `path`: the program to start; by default bundledWatcher()'s (the one
   * ORVEL_KEYWATCHER_PROGRAM names, or this system's package's). Where there
   * is none, start() rejects with a message that names the fix.
   */
  constructor(path?: string);
  readonly path: string | undefined;
  /**
   * Resolves once it watches; rejects with the watcher's own message, or one
   * that names the fix where it cannot be started, or where it has not said
   * it watches within `timeoutMs` (10000 by default; it is stopped then).
   */
  start(options?: { timeoutMs?: number }): Promise<void>;
  /** Stops it (SIGKILL after `graceMs`); null if it was never started. */
  stop(graceMs?: number): Promise<Ending | null>;
  /** How many keys of this name are down: 0, 1 or 2 (shift, ctrl, alt). */
  count(name: string): number;
  isDown(name: string): boolean;

  on(event: 'change', listener: (name: string, down: boolean, count: number) => void): this;
  on(event: 'message', listener: (text: string) => void): this;
  on(event: 'end', listener: (ending: Ending) => void): this;
  once(event: 'change', listener: (name: string, down: boolean, count: number) => void): this;
  once(event: 'message', listener: (text: string) => void): this;
  once(event: 'end', listener: (ending: Ending) => void): this;
}

/** "exit 1", "signal SIGPIPE": how the watcher ended, in a few words. */
export declare function describe(ending: Ending): string;

/** "ORVEL_KEYWATCHER_PROGRAM": the variable that overrides the bundled program. */
export declare const OVERRIDE: string;

/**
 * The program ORVEL_KEYWATCHER_PROGRAM names, or that of the package for this
 * system (or the one named); throws an Error naming the fix where there is none.
 */
export declare function bundledWatcher(platform?: string, arch?: string): string;

/** On Linux, the watcher installed on the system, or null. */
export declare function installedWatcher(): string | null;
