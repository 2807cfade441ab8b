"""Makes sure a script of this folder runs on a python3 that has python3-xlib.

A python3 of its own (pyenv, a venv) may come first on PATH; the Debian one has the module.
"""
import os
import sys


def ensure_xlib(script):
    try:
        import Xlib  # noqa: F401  (python3-xlib)
    except ImportError:
        if os.path.realpath(sys.executable) != os.path.realpath("/usr/bin/python3") \
                and os.path.exists("/usr/bin/python3"):
            os.execv("/usr/bin/python3", ["/usr/bin/python3", os.path.abspath(script)]
                     + sys.argv[1:])
        print("python3-xlib is missing (apt-get install python3-xlib)")
        print("0 passed, 1 failed")
        sys.exit(1)
    sys.dont_write_bytecode = True   # no __pycache__ in the source tree
