"""The wheel's contents, tag and links, for hatchling: the client as the
package orvel_keywatcher, with py.typed, and the program named by
ORVEL_WHEEL_PROGRAM in its bin folder with its execute bit, tagged
py3-none-ORVEL_WHEEL_PLATFORM; the Project-URLs of the repository
ORVEL_WHEEL_REPOSITORY (OWNER/NAME on GitHub)."""

import os
import shutil
import tempfile

from hatchling.builders.hooks.plugin.interface import BuildHookInterface
from hatchling.metadata.plugin.interface import MetadataHookInterface


class CustomMetadataHook(MetadataHookInterface):
    def update(self, metadata):
        url = "https://github.com/" + os.environ["ORVEL_WHEEL_REPOSITORY"]
        metadata["urls"] = {"Homepage": url, "Source": url, "Issues": url + "/issues",
                            "Documentation": url + "/blob/main/docs/embedding.md"}


class CustomBuildHook(BuildHookInterface):
    def initialize(self, version, build_data):
        program = os.environ["ORVEL_WHEEL_PROGRAM"]
        platform = os.environ["ORVEL_WHEEL_PLATFORM"]
        name = "orvel-keywatcher.exe" if platform.startswith("win") else "orvel-keywatcher"
        here = os.path.dirname(os.path.abspath(__file__))
        staged = tempfile.mkdtemp()
        typed = os.path.join(staged, "py.typed")
        open(typed, "w").close()
        # The zip entry takes the file's mode: a copy with its execute bit.
        copy = os.path.join(staged, name)
        shutil.copyfile(program, copy)
        os.chmod(copy, 0o755)
        program = copy
        build_data["pure_python"] = False
        build_data["tag"] = "py3-none-" + platform
        build_data["force_include"][os.path.join(here, "orvel_keywatcher.py")] = \
            "orvel_keywatcher/__init__.py"
        build_data["force_include"][typed] = "orvel_keywatcher/py.typed"
        build_data["force_include"][program] = "orvel_keywatcher/bin/" + name
        # python -m orvel_keywatcher, and PyInstaller's hook.
        for extra in ("__main__.py", "__pyinstaller/__init__.py",
                      "__pyinstaller/hook-orvel_keywatcher.py"):
            build_data["force_include"][os.path.join(here, "package", extra)] = \
                "orvel_keywatcher/" + extra
