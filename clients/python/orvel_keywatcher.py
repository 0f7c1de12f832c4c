"""A client for orvel-keywatcher, the modifier key watcher.

One file to copy into a Python program, with nothing beyond Python's own
library (3.8 or later). docs/embedding.md says how the watcher is bundled and
why this is done so.

    from orvel_keywatcher import KeyWatcher

    def changed(name, down, count):   # "shift", True, 1
        ...

    with KeyWatcher(None, changed) as watcher:   # or the program's path
        watcher.is_down("shift")      # either Shift key is held
    print(watcher.ending)             # how it ended: Ending(stopped=True, ...)

Installed with pip (the package orvel_keywatcher), the program comes in the
same wheel, and a path of None starts it; installed_program() gives, on
Linux, the system's own watcher, which may be setgid to the keyboards' group
as a bundled copy cannot be. Copied as one file, it is given the path.

start() returns once the watcher watches and raises WatcherError with the
watcher's own message if it ends first; `changed` is called from a thread of
the client's, one change at a time, never before the watcher's banner, and
may call stop(). An exception it raises goes to `on_error` where one is
given, else to the logger "orvel_keywatcher", and reading goes on.

Run as a program it prints each change with its count until its standard
input ends, Ctrl-C or SIGTERM: python3 orvel_keywatcher.py /path/to/orvel-keywatcher
"""

import logging
import os
import signal
import subprocess
import sys
import threading
import weakref
from typing import Callable, NamedTuple, Optional

# The watcher's one line on standard error once it watches: its ready signal.
BANNER = "Orvel macOS key watcher started"


class WatcherError(Exception):
    """The watcher ended before it watched; the text is its own message."""


class Ending(NamedTuple):
    """How the watcher ended."""

    stopped: bool  # ended after stop() was called
    returncode: int  # as subprocess gives it: -15 for SIGTERM
    message: str  # what it wrote on standard error besides the banner

    def __str__(self):
        if self.returncode < 0:
            try:
                how = "signal " + signal.Signals(-self.returncode).name
            except ValueError:  # a real-time signal has no name of its own
                how = "signal %d" % -self.returncode
        else:
            how = "exit %d" % self.returncode
        return "%s, %s" % ("stopped" if self.stopped else "by itself", how)


_log = logging.getLogger("orvel_keywatcher")


# The override, for a distribution's own build, an air-gapped install or a
# test double: a program's path, checked as a bundled one is.
OVERRIDE = "ORVEL_KEYWATCHER_PROGRAM"


def bundled_program() -> str:
    """The program named by ORVEL_KEYWATCHER_PROGRAM, or else the one the
    wheel installed beside this package. Raises WatcherError naming the fix
    where there is none, or it may not be run."""
    override = os.environ.get(OVERRIDE)
    if override:
        return _checked_program(override, "%s names %s, which" % (OVERRIDE, override))
    name = "orvel-keywatcher.exe" if sys.platform == "win32" else "orvel-keywatcher"
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "bin", name)
    if not os.path.isfile(path):
        raise WatcherError("orvel-keywatcher: no program beside this client (%s): pip install "
                           "orvel-keywatcher on this system takes the wheel that has it (there are "
                           "wheels for macOS, Linux x86_64 and aarch64, Windows x64 and arm64); "
                           "elsewhere give the program's path, or name it in %s" % (path, OVERRIDE))
    return _checked_program(path)


def _checked_program(path, what=None):
    if not os.path.isfile(path):
        raise WatcherError("orvel-keywatcher: %s is not there" % (what or path))
    if sys.platform != "win32" and not os.access(path, os.X_OK):
        raise _program_error(path, PermissionError(13, "Permission denied"), what)
    return path


def _program_error(path, error, what=None):
    """A WatcherError for a program that cannot be started, naming the fix."""
    if isinstance(error, PermissionError):
        return WatcherError("orvel-keywatcher: %s may not be run: it has lost its execute bit "
                            "(an archive or a copy that kept no file modes): chmod +x %s, or "
                            "pip install --force-reinstall orvel-keywatcher" % (what or path, path))
    return WatcherError("orvel-keywatcher: %s cannot be run: %s" % (what or path, error))


def installed_program() -> Optional[str]:
    """On Linux, the watcher installed on the system (the Debian package's or a
    source install's), or None where there is none."""
    if not sys.platform.startswith("linux"):
        return None
    for path in ("/usr/bin/orvel-keywatcher", "/usr/local/bin/orvel-keywatcher"):
        if os.path.isfile(path) and os.access(path, os.X_OK):
            return path
    return None


def run_program() -> None:
    """The console script orvel-keywatcher: on POSIX it becomes the program
    itself (its signals, SIGPIPE, its status); on Windows it runs it and exits
    with its status."""
    try:
        program = bundled_program()
    except WatcherError as error:
        sys.exit(str(error))
    if sys.platform == "win32":
        sys.exit(subprocess.call([program] + sys.argv[1:]))
    # Python ignores these; a program run from here must not inherit that.
    for name in ("SIGPIPE", "SIGXFSZ"):
        signal.signal(getattr(signal, name), signal.SIG_DFL)
    os.execv(program, [program] + sys.argv[1:])


def _end_child(process):
    """The orderly stop, for a watcher its host did not stop; killed if it has
    not ended within a second."""
    if process.poll() is None:
        process.terminate()
        try:
            process.wait(1.0)
        except subprocess.TimeoutExpired:
            process.kill()


class KeyWatcher:
    def __init__(self, path=None, on_change: Optional[Callable[[str, bool, int], None]] = None,
                 on_error: Optional[Callable[[BaseException], None]] = None):
        # Where there is no program, start() raises why.
        self.path, self._path_error = None, None
        try:
            self.path = os.fspath(path) if path is not None else bundled_program()
        except WatcherError as error:
            self._path_error = error
        self.on_change = on_change
        self.on_error = on_error
        self.ending: Optional[Ending] = None
        self._counts = {}
        self._said = []
        self._process = None
        self._stopping = False
        self._stopped = False  # stop() has returned: no change is delivered after it
        self._started = False
        self._banner_or_end = threading.Event()
        self._threads = []
        self._ending_lock = threading.Lock()

    def start(self, timeout: float = 10.0) -> None:
        """Starts the watcher, once per KeyWatcher, and returns once it watches.

        Raises WatcherError with the watcher's message if it ends first (on
        Linux, status 1: it cannot read the keyboards; show it as it is), or
        if it has not started within `timeout` seconds.
        """
        if self._process is not None:
            raise RuntimeError("start() is called once per KeyWatcher")
        if self._path_error:
            raise self._path_error
        try:
            self._start(timeout)
        except BaseException:
            # Interrupted anywhere (KeyboardInterrupt, a thread that cannot
            # start), or failed: no child is left behind.
            if self._process is not None and self._process.poll() is None:
                self._process.kill()
                self._process.wait()
            raise

    def _start(self, timeout):
        # No console window on Windows; standard input is not read.
        flags = subprocess.CREATE_NO_WINDOW if sys.platform == "win32" else 0
        try:
            self._process = subprocess.Popen(
                [self.path], stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                stderr=subprocess.PIPE, creationflags=flags)
        except OSError as error:
            raise _program_error(self.path, error) from error
        # Ended with its host: at the interpreter's exit, or once this
        # KeyWatcher is collected, whichever comes first.
        weakref.finalize(self, _end_child, self._process)
        for read in (self._read_errors, self._read_changes):
            thread = threading.Thread(target=read, daemon=True)
            thread.start()
            self._threads.append(thread)
        if self._banner_or_end.wait(timeout) and self._started:
            return
        if self._banner_or_end.is_set():
            # Its standard error ended before the banner: it is ending by
            # itself, and is waited for rather than stopped.
            ending = self._end(signal_first=False)
        else:
            ending = self.stop()
        raise WatcherError(ending.message or "no banner within %g s (%s)" % (timeout, ending))

    def count(self, name: str) -> int:
        """How many keys of this name are down: 0, 1 or 2 (shift, ctrl, alt)."""
        return self._counts.get(name, 0)

    def is_down(self, name: str) -> bool:
        return self.count(name) > 0

    def stop(self, grace: float = 2.0) -> Optional[Ending]:
        """Stops the watcher and returns how it ended.

        SIGTERM on macOS and Linux, the orderly stop; on Windows terminate()
        ends the process, which loses nothing, since every line left whole.
        It is killed if it has not ended after `grace` seconds.
        """
        if self._process is None:
            return None
        return self._end(signal_first=True, grace=grace)

    def _end(self, signal_first, grace=2.0):
        if signal_first and self._process.poll() is None:
            self._stopping = True
            self._process.terminate()
        try:
            self._process.wait(grace)
        except subprocess.TimeoutExpired:
            self._process.kill()
        self._process.wait()
        # Called from the change callback, stop() cannot wait for the thread
        # that runs it; standard error's is waited for, and the ending set.
        for thread in self._threads:
            if thread is not threading.current_thread():
                thread.join()
        self._stopped = True
        return self._set_ending()

    def _set_ending(self):
        with self._ending_lock:
            if self.ending is None:
                self.ending = Ending(self._stopping, self._process.wait(), "\n".join(self._said))
            return self.ending

    def __enter__(self):
        self.start()
        return self

    def __exit__(self, *exception):
        self.stop()

    def _read_errors(self):
        for raw in self._process.stderr:
            line = raw.decode("utf-8", "replace").rstrip("\r\n")
            if not self._started and line == BANNER:
                self._started = True
                self._banner_or_end.set()
            else:
                self._said.append(line)
        self._banner_or_end.set()

    def _read_changes(self):
        # Changes are delivered once the banner has come, as the watcher
        # writes it before any change.
        self._banner_or_end.wait()
        for raw in self._process.stdout:
            state, _, name = raw.decode("ascii", "replace").rstrip("\r\n").partition(" ")
            if state in ("D", "U") and name:
                self._apply(name, state == "D")
        # No U lines come at a stop: whatever was held is forgotten.
        self._counts.clear()
        self._threads[0].join()  # all it said on standard error
        self._set_ending()

    def _apply(self, name, down):
        # The names that two keys share are counted, so letting go of one
        # Shift leaves the other held.
        count = max(0, self.count(name) + (1 if down else -1))
        self._counts[name] = count
        if self.on_change and not self._stopped:
            try:
                self.on_change(name, down, count)
            except Exception as error:  # the callback's own: reported, and reading goes on
                if self.on_error:
                    self.on_error(error)
                else:
                    _log.exception("the change callback raised")


def main(path):
    sys.stdout.reconfigure(newline="\n")  # lines end as the watcher's do, on Windows too
    ready = threading.Event()

    def changed(name, down, count):
        ready.wait()  # printed after "ready"
        print(name, "down" if down else "up", count, flush=True)

    try:
        watcher = KeyWatcher(path, changed)
        watcher.start()
    except WatcherError as error:
        print(error, file=sys.stderr)
        return 1
    print("ready", flush=True)
    ready.set()
    signal.signal(signal.SIGTERM, signal.default_int_handler)
    try:
        sys.stdin.read()  # until its input ends, Ctrl-C or SIGTERM
    except KeyboardInterrupt:
        pass
    print("ended:", watcher.stop(), flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else None))
