# SPDX-License-Identifier: MIT
"""Makes sure a script of this folder runs on a python3 that has python3-xlib, and the other Debian
modules it names.

A python3 of its own (pyenv, a venv) may come first on PATH; the Debian one has the modules.
"""
import importlib.util
import os
import sys

# The Debian package of each module a script may need.
PACKAGES = {"Xlib": "python3-xlib", "pyatspi": "python3-pyatspi"}


def ensure_xlib(script, also=()):
    """`also` names further modules the script needs, such as pyatspi."""
    missing = [m for m in ("Xlib",) + tuple(also) if importlib.util.find_spec(m) is None]
    if missing:
        if os.path.realpath(sys.executable) != os.path.realpath("/usr/bin/python3") \
                and os.path.exists("/usr/bin/python3"):
            os.execv("/usr/bin/python3", ["/usr/bin/python3", os.path.abspath(script)]
                     + sys.argv[1:])
        packages = " ".join(PACKAGES.get(m, m) for m in missing)
        print(f"{packages} missing (apt-get install {packages})")
        print("0 passed, 1 failed")
        sys.exit(1)
    sys.dont_write_bytecode = True   # no __pycache__ in the source tree
