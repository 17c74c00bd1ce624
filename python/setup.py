"""`pip install ./python`: the package, with its C declarations generated from
the hvzelta.h it is built against and a note of where the library is.

The header and library are those that pkg-config knows as "hvzelta" (the
installed driver), else the header of this source tree and the parts of it
that a build in build/ wrote, with the library then found on the system's
library path.
"""

import pathlib
import re
import subprocess
import sys

from setuptools import setup
from setuptools.command.build_py import build_py

HERE = pathlib.Path(__file__).resolve().parent
SOURCE_HEADER = HERE.parent / "include" / "hvzelta.h"
SOURCE_PROJECT = HERE.parent / "CMakeLists.txt"

sys.path.insert(0, str(HERE))
import generate_header_module  # noqa: E402


def _pkg_config(*arguments):
    try:
        return subprocess.run(["pkg-config", *arguments, "hvzelta"], check=True, capture_output=True,
                              text=True).stdout.strip()
    except (OSError, subprocess.CalledProcessError):
        return None


def _installed_library():
    """(header, version, library folder) of the installed driver, or None."""
    include_dir = _pkg_config("--variable=includedir")
    if not include_dir:
        return None
    return pathlib.Path(include_dir) / "hvzelta.h", _pkg_config("--modversion"), _pkg_config("--variable=libdir")


def _build_against():
    """(header, version, library folder or None) the package is built against: the
    installed driver's, which it will load, else this source tree's."""
    installed = _installed_library()
    if installed:
        return installed
    if SOURCE_HEADER.exists():
        version = re.search(r"project\(hvzelta VERSION ([\d.]+)", SOURCE_PROJECT.read_text()).group(1)
        return SOURCE_HEADER, version, None
    sys.exit("hvzelta.h not found: install the driver (pkg-config must know \"hvzelta\"), "
             "or build from the driver's source tree")


HEADER, VERSION, LIBRARY_DIR = _build_against()


class BuildWithHeader(build_py):
    """Adds _header.py (and, for an installed driver, _location.py) to the built package."""

    def run(self):
        super().run()
        package = pathlib.Path(self.build_lib) / "hvzelta"
        package.mkdir(parents=True, exist_ok=True)
        try:
            text = generate_header_module.expand_includes(HEADER, sorted(HERE.parent.glob("build/*/include")))
        except generate_header_module.HeaderError as error:
            sys.exit(f"{HEADER}: {error}")
        (package / "_header.py").write_text(generate_header_module.generate(text, VERSION))
        if LIBRARY_DIR:
            library = pathlib.Path(LIBRARY_DIR) / f"libhvzelta.so.{VERSION.split('.')[0]}"
            (package / "_location.py").write_text(
                f"# Where pkg-config said libhvzelta is (written by setup.py).\nLIBRARY = {str(library)!r}\n")


setup(version=VERSION, cmdclass={"build_py": BuildWithHeader})
