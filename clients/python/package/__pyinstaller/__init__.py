"""PyInstaller's entry point (pyinstaller40 in the wheel's metadata): the
folder of this package's hook, which PyInstaller finds with no setting of
the application's own."""

import os


def get_hook_dirs():
    return [os.path.dirname(os.path.abspath(__file__))]
