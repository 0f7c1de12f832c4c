"""The Python client's callbacks and its endings, against the stand-in (whose
banner comes at once here) and a program that fails before its banner: a
callback that stops the watcher, a callback that raises, and a failed start
that must be the watcher's own ending every time; a start interrupted
leaves no watcher, and every failure foreseen names its fix.
Usage: python3 callbacks.py CLIENT-DIR STAND-IN FAILING-PROGRAM SILENT-PROGRAM"""

import os
import shutil
import signal
import sys
import threading
import unittest

sys.path.insert(0, sys.argv[1])
from orvel_keywatcher import Ending, KeyWatcher, WatcherError  # noqa: E402

STAND_IN, FAILING, SILENT = sys.argv[2], sys.argv[3], sys.argv[4]
OVERRIDE = "ORVEL_KEYWATCHER_PROGRAM"


class Callbacks(unittest.TestCase):
    def setUp(self):
        self.thread_errors = []
        threading.excepthook = lambda args: self.thread_errors.append(args.exc_value)

    def test_a_callback_may_stop_the_watcher(self):
        seen, endings = [], []

        def changed(name, down, count):
            seen.append((name, down, count))
            endings.append(watcher.stop())

        watcher = KeyWatcher(STAND_IN, changed)
        watcher.start()
        self.wait_until(lambda: endings)  # the callback's stop() first
        ending = watcher.stop()
        self.assertEqual(self.thread_errors, [])
        self.assertEqual(seen, [("shift", True, 1)], "no change after stop() returned")
        self.assertEqual(str(endings[0]), "stopped, exit 0")
        self.assertIs(ending, endings[0])
        self.assertIs(watcher.ending, ending)

    def test_an_exception_is_reported_and_reading_goes_on(self):
        raised = []

        def changed(name, down, count):
            raise ValueError("%s %d" % (name, count))

        watcher = KeyWatcher(STAND_IN, changed, on_error=raised.append)
        watcher.start()
        self.wait_until(lambda: len(raised) == 5)
        self.assertEqual([str(error) for error in raised],
                         ["shift 1", "shift 2", "shift 1", "ctrl 1", "shift 0"])
        self.assertEqual(str(watcher.stop()), "stopped, exit 0")
        self.assertEqual(self.thread_errors, [])

    def test_without_a_handler_the_exception_is_logged(self):
        with self.assertLogs("orvel_keywatcher", "ERROR") as logs:
            watcher = KeyWatcher(STAND_IN, lambda *change: 1 / 0)
            watcher.start()
            self.wait_until(lambda: len(logs.records) == 5)
        self.assertIn("ZeroDivisionError", logs.output[0])
        self.assertEqual(str(watcher.stop()), "stopped, exit 0")

    def test_a_failed_start_is_the_watchers_own_ending(self):
        endings = set()
        for _ in range(100):
            watcher = KeyWatcher(FAILING)
            with self.assertRaises(WatcherError) as failure:
                watcher.start()
            self.assertEqual(str(failure.exception), "no keyboards here")
            endings.add(str(watcher.ending))
        self.assertEqual(endings, {"by itself, exit 1"})

    def test_start_is_refused_while_a_watcher_runs(self):
        watcher = KeyWatcher(STAND_IN)
        watcher.start()
        with self.assertRaises(RuntimeError):
            watcher.start()
        watcher.stop()

    def test_an_interrupted_start_leaves_no_watcher(self):
        watcher = KeyWatcher(SILENT)
        threading.Timer(0.3, os.kill, (os.getpid(), signal.SIGINT)).start()
        with self.assertRaises(KeyboardInterrupt):
            watcher.start()
        self.assertIsNotNone(watcher._process.poll(), "the watcher was left running")

    def test_each_foreseen_failure_names_its_fix(self):
        plain = os.path.join(os.path.dirname(SILENT), "plain")
        shutil.copyfile(STAND_IN, plain)
        with self.assertRaisesRegex(WatcherError, "lost its execute bit.*chmod \\+x"):
            KeyWatcher(plain).start()
        os.environ[OVERRIDE] = plain + "-missing"
        watcher = KeyWatcher()  # the failure comes from start()
        with self.assertRaisesRegex(WatcherError, "ORVEL_KEYWATCHER_PROGRAM names .*, which is not there"):
            watcher.start()
        os.environ[OVERRIDE] = STAND_IN
        with KeyWatcher() as watcher:
            pass
        del os.environ[OVERRIDE]
        self.assertEqual(str(watcher.ending), "stopped, exit 0")
        self.assertEqual(str(Ending(False, -35, "")), "by itself, signal 35")

    def wait_until(self, condition, seconds=5.0):
        done = threading.Event()
        for _ in range(int(seconds / 0.02)):
            if condition():
                return
            done.wait(0.02)
        self.fail("not within %g s" % seconds)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])
