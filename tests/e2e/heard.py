# SPDX-License-Identifier: MIT
"""What a screen reader is to be told about the program's windows, the same for the Linux build
(read over AT-SPI, accessibility.py) and the Windows build (read through oleacc under Wine,
cases.case_screen_reader): each window's role and name, then (role, name, description) of every
control, in any order. Roles by their AT-SPI names."""

# Each window as it should be heard: its role and name, then (role, name, description) of every
# control, in any order.
SETUP_DIALOG = ("dialog", "Quillendor", [
    ("label", "Quillendor", ""),
    ("label", "This prank will fake a shut down until the user clicks the screen. To start this "
              "prank choose one of the time settings below. This will be how long until the shut "
              "down screen is shown. You can either type in a time until it starts or check the "
              "box that says none to start it right away", ""),
    ("label", "Seconds", ""),
    ("text", "Seconds", ""),
    ("push button", "UP", ""),
    ("label", "UP", ""),
    ("push button", "DOWN", ""),
    ("label", "DOWN", ""),
    ("check box", "None", ""),
    ("label", "None", ""),
    ("label", "Ending", ""),
    ("check box", "Timer", ""),
    ("label", "If you tick the timer box the screen that fakes a shut down will close after a "
              "certen time rather than someone clicking the screen.", ""),
    ("push button", "Cancel", ""),
    ("push button", "Start", ""),
])
SHUTDOWN_SCREEN = ("frame", "Form1", [
    ("label", "Please Wait While Your Computer Shuts Down", ""),
])
TIMED_SCREEN = ("frame", "Form3", [
    ("label", "Please Wait While Your Computer Shuts Down", ""),
])
REVEAL_DIALOG = ("dialog", "Quillendor", [
    ("label", "Brindlewick", ""),
    ("label", "Prank Name: Quillendor", ""),
    ("label", "You have been hit by a  prank. This has not done any harm to your computer or your "
              "files.", ""),
    ("label", "Warning: This program was a prank and none of the things it said it did to your "
              "computer have been done.", ""),
    ("image", "Question mark", "A blue question mark in a ring"),
    ("push button", "OK", ""),
])


def in_language(window, catalog):
    """`window` as heard in the language of `catalog` (a gettext.GNUTranslations of the
    program's compiled catalog): every name and description as the catalog gives it."""
    say = catalog.gettext if catalog is not None else (lambda text: text)
    role, name, controls = window
    return (role, say(name), [(r, say(n), say(d) if d else d) for r, n, d in controls])
