"""PyInstaller's hook for orvel_keywatcher: the program beside the client is
collected into the frozen application at the same place, orvel_keywatcher/bin,
where KeyWatcher() with no path finds it in the bundle."""

import os

from PyInstaller.utils.hooks import get_package_paths

_bin = os.path.join(get_package_paths("orvel_keywatcher")[1], "bin")
binaries = [(os.path.join(_bin, name), "orvel_keywatcher/bin")
            for name in (os.listdir(_bin) if os.path.isdir(_bin) else [])]
