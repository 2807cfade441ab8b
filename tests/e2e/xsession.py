# SPDX-License-Identifier: MIT
"""A private X session for driving the built program from outside, as a user would.

Everything goes through the X server: Xvfb on a free display, optionally openbox, the program
started as it ships, input through XTEST, windows found by their _NET_WM_PID and title, pixels
read back from the screen. Nothing here talks to the program any other way.
"""

import os
import select
import shutil
import signal
import subprocess
import tempfile
import time

from Xlib import X, XK, Xatom, display as xdisplay, error as xerror
from Xlib.ext import xtest
from Xlib.protocol import event as xevent

FIRST_DISPLAY = 200
LAST_DISPLAY = 399


class SessionError(Exception):
    pass


def _display_free(n):
    return not os.path.exists(f"/tmp/.X{n}-lock") and not os.path.exists(f"/tmp/.X11-unix/X{n}")


def _lock_holder(n):
    try:
        with open(f"/tmp/.X{n}-lock") as f:
            return int(f.read().strip())
    except (OSError, ValueError):
        return None


class Pixels:
    """A rectangle of the screen as RGB triples, indexed by coordinates relative to its corner."""

    def __init__(self, x, y, width, height, data, byte_order_lsb):
        self.x, self.y, self.width, self.height = x, y, width, height
        self._data = data
        self._lsb = byte_order_lsb

    def at(self, x, y):
        i = (y * self.width + x) * 4
        b0, b1, b2, b3 = self._data[i:i + 4]
        if self._lsb:
            return (b2, b1, b0)
        return (b1, b2, b3)

    def all(self):
        for y in range(self.height):
            for x in range(self.width):
                yield x, y, self.at(x, y)

    def count(self, predicate):
        return sum(1 for _, _, c in self.all() if predicate(c))

    def signature(self):
        """The exact pixels, for comparing two captures of the same place."""
        return bytes(self._data)


class Timing:
    """When a window came on screen, in ms on the X server's clock after an input: between
    `low` and `high`; `own`, the same by our own clock. `asked`, a (low, high) pair, is when the
    program itself acted: it created the window, or it set the properties a toolkit sets on a
    window as it asks for it to be shown. A window manager may take a while more to show it."""

    def __init__(self, window, low, high, own, asked, created=None):
        self.window, self.low, self.high, self.own = window, low, high, own
        self.asked = tuple(asked) if asked and asked[1] is not None else None
        # Every window made meanwhile: its id and when it was made, (low, high).
        self.created = {w: tuple(b) for w, b in (created or {}).items() if b[1] is not None}

    def __iter__(self):   # window, low, high, own
        return iter((self.window, self.low, self.high, self.own))


def parse_monitor(text):
    """ "*R 1280x1024+1280+0" -> ("R", (1280, 0, 1280, 1024), True): name, rectangle, primary."""
    name, geometry = text.split()
    size, x, y = geometry.split("+")
    w, h = size.split("x")
    return name.lstrip("*"), (int(x), int(y), int(w), int(h)), name.startswith("*")


class Session:
    """Xvfb of a given size on a free display, with or without openbox. `monitors` divides the
    screen into RandR monitors ("*" marks the primary one); `dpi` is the Xft.dpi that toolkits
    read as the screen's logical resolution."""

    def __init__(self, width=1024, height=768, wm=False, log=None, monitors=(), dpi=None,
                 nested=()):
        self.width, self.height, self.wm = width, height, wm
        self.frame_depth = 2        # a window manager's frame, then the client in it
        self.monitors = {}          # name -> (x, y, width, height), as they are now
        self.primary = None
        self._initial_monitors = list(monitors)
        # Screens of a Xephyr with Xinerama inside the Xvfb, e.g. "1280x1024+0+0": monitors for
        # programs that take them from Xinerama rather than RandR (Wine). The programs and this
        # session use the Xephyr; the Xvfb of width x height shows its screens side by side.
        self.nested = list(nested)
        self.outer_name = None
        self.xephyr = None
        self.dpi = dpi
        self.log = log or (lambda *_: None)
        self.tmp = tempfile.mkdtemp(prefix="quill-e2e-")
        self.number = None
        self.name = None
        self.xvfb = None
        self.openbox = None
        self.clients = []   # other processes started on this display
        self.last_click = None   # (time, x, y) of the last click's release
        self.logs = []
        self.d = None

    # --- start and stop -------------------------------------------------------------------

    def start(self):
        self._start_xvfb()
        if self.nested:
            self._start_xephyr()
        self.d = xdisplay.Display(self.name)
        self.root = self.d.screen().root
        self._lsb = self.d.display.info.image_byte_order == X.LSBFirst
        # A window of our own whose property changes come back with the server's time stamp.
        self.helper = self.root.create_window(-10, -10, 1, 1, 0, 0, X.InputOnly,
                                              X.CopyFromParent,
                                              event_mask=X.PropertyChangeMask)
        self._stamp_atom = self.atom("QUILL_E2E_STAMP")
        self.d.sync()
        for i, monitor in enumerate(self._initial_monitors):
            self.add_monitor(monitor, first=i == 0)
        if self.dpi:
            subprocess.run(["xrdb", "-nocpp", "-merge"], input=f"Xft.dpi: {self.dpi}\n",
                           text=True, env=self.env(), check=True)
        if self.wm:
            self._start_openbox()
        return self

    # --- monitors -------------------------------------------------------------------------

    def add_monitor(self, monitor, first=False):
        """Plugs in a monitor ("*" before the name makes it the primary one). The first monitor
        takes the screen's one output, so that a toolkit sees the monitors and nothing else."""
        name, (x, y, w, h), primary = parse_monitor(monitor)
        mm = lambda px: max(1, round(px * 25.4 / 96))
        subprocess.run(["xrandr", "--setmonitor", ("*" if primary else "") + name,
                        f"{w}/{mm(w)}x{h}/{mm(h)}+{x}+{y}", "screen" if first else "none"],
                       env=self.env(), check=True, stdout=subprocess.DEVNULL)
        self.monitors[name] = (x, y, w, h)
        if primary or self.primary is None:
            self.primary = name

    def remove_monitor(self, name):
        subprocess.run(["xrandr", "--delmonitor", name], env=self.env(), check=True,
                       stdout=subprocess.DEVNULL)
        del self.monitors[name]
        if self.primary == name:
            self.primary = next(iter(self.monitors), None)

    def resize_screen(self, width, height):
        """Gives the screen's one output (Xvfb's "screen") a mode of another size, as a monitor
        set to another resolution is: the screen takes the output's size. Xvfb cannot grow past
        the size it was started with."""
        env = self.env()
        name = f"{width}x{height}"
        listed = subprocess.run(["xrandr"], env=env, check=True, capture_output=True,
                                text=True).stdout
        if not any(line.split()[:1] == [name] for line in listed.splitlines()[1:]):
            # Any timings will do for a screen with no display behind it.
            subprocess.run(["xrandr", "--newmode", name, "60", str(width), str(width + 24),
                            str(width + 160), str(width + 320), str(height), str(height + 3),
                            str(height + 9), str(height + 38)], env=env, check=True)
            subprocess.run(["xrandr", "--addmode", "screen", name], env=env, check=True)
        subprocess.run(["xrandr", "--output", "screen", "--mode", name], env=env, check=True)
        self.width, self.height = width, height

    def primary_rect(self):
        return self.monitors[self.primary] if self.primary else (0, 0, self.width, self.height)

    def _start_xvfb(self):
        self.number, self.name, self.xvfb = self._start_server(
            "xvfb", lambda n: ["Xvfb", f":{n}", "-screen", "0", f"{self.width}x{self.height}x24",
                               "-nolisten", "tcp", "-noreset"])
        self.log(f"Xvfb {self.name} {self.width}x{self.height}")

    def _start_xephyr(self):
        screens = []
        for screen in self.nested:
            size, x, y = screen.split("+")
            w, h = size.split("x")
            screens.append((int(x), int(y), int(w), int(h)))
        options = ["+xinerama", "-ac", "-nolisten", "tcp", "-noreset"]
        for screen in self.nested:
            options += ["-screen", screen]
        self.outer_name = self.name
        number, name, self.xephyr = self._start_server(
            "xephyr", lambda n: ["Xephyr", f":{n}"] + options, {"DISPLAY": self.outer_name})
        self.number, self.name = number, name
        # One screen of the size that holds them all, each a Xinerama monitor, the first primary.
        self.width = max(x + w for x, _, w, _ in screens)
        self.height = max(y + h for _, y, _, h in screens)
        for i, rect in enumerate(screens):
            self.monitors[str(i)] = rect
        self.primary = "0"
        self.log(f"Xephyr {self.name} in {self.outer_name}: {self.nested}")

    def _start_server(self, kind, argv_for, extra_env=None):
        env = dict(os.environ, **(extra_env or {}))
        for n in range(FIRST_DISPLAY, LAST_DISPLAY + 1):
            if not _display_free(n):
                continue
            log = self._log_file(f"{kind}-{n}.log")
            proc = subprocess.Popen(argv_for(n), stdout=log, stderr=subprocess.STDOUT,
                                    start_new_session=True, env=env)
            deadline = time.monotonic() + 10
            while time.monotonic() < deadline:
                if proc.poll() is not None:
                    break   # lost the race for this display to someone else: try the next
                # The display is ours once the server holding its lock is the one we started:
                # another run may have been starting one on the same number at the same time.
                if os.path.exists(f"/tmp/.X11-unix/X{n}") and _lock_holder(n) == proc.pid:
                    try:
                        xdisplay.Display(f":{n}").close()
                        return n, f":{n}", proc
                    except Exception:
                        pass
                time.sleep(0.02)
            if proc.poll() is None:
                proc.kill()
                proc.wait()
        raise SessionError(f"no free X display could be started ({kind})")

    def env(self):
        env = {k: v for k, v in os.environ.items()
               if not k.startswith("QT_") and k not in ("WAYLAND_DISPLAY", "XDG_SESSION_TYPE",
                                                          "XAUTHORITY", "SESSION_MANAGER")}
        env["DISPLAY"] = self.name
        env["XDG_CONFIG_HOME"] = os.path.join(self.tmp, "config")
        runtime = os.path.join(self.tmp, "runtime")
        os.makedirs(runtime, mode=0o700, exist_ok=True)
        env["XDG_RUNTIME_DIR"] = runtime
        env.setdefault("LANG", "C.UTF-8")
        return env

    def _start_openbox(self):
        log = self._log_file("openbox.log")
        self.openbox = subprocess.Popen(["openbox"], env=self.env(), stdout=log,
                                        stderr=subprocess.STDOUT, start_new_session=True)
        check = self.atom("_NET_SUPPORTING_WM_CHECK")
        deadline = time.monotonic() + 15
        while time.monotonic() < deadline:
            if self.openbox.poll() is not None:
                raise SessionError("openbox ended at start")
            prop = self.root.get_full_property(check, Xatom.WINDOW)
            if prop and prop.value:
                wm_window = self.d.create_resource_object("window", prop.value[0])
                try:
                    name = wm_window.get_full_property(self.atom("_NET_WM_NAME"),
                                                       self.atom("UTF8_STRING"))
                except xerror.BadWindow:
                    name = None
                if name and b"Openbox" in bytes(name.value):
                    self.wait_managing()
                    self.log(f"openbox manages {self.name}")
                    return
            time.sleep(0.02)
        raise SessionError("openbox did not take over the screen")

    def wait_managing(self):
        """A window manager names itself before its start-up is done, and a window mapped in
        between may never be managed (seen under openbox: an xmessage left unmapped for good). A
        window of our own is mapped, and mapped again while it is not framed, until the window
        manager frames and shows it."""
        probe = self.root.create_window(0, 0, 10, 10, 0, X.CopyFromParent, X.InputOutput,
                                        X.CopyFromParent)
        deadline = time.monotonic() + 15
        try:
            while True:
                probe.map()
                self.d.sync()
                retry = time.monotonic() + 0.3
                while time.monotonic() < retry:
                    if probe.query_tree().parent.id != self.root.id and self.is_viewable(probe):
                        return
                    time.sleep(0.01)
                if time.monotonic() > deadline:
                    raise SessionError("the window manager does not manage windows")
                probe.unmap()
        finally:
            probe.destroy()
            self.d.sync()

    def start_client(self, argv):
        log = self._log_file(f"client-{len(self.clients)}.log")
        proc = subprocess.Popen(argv, env=self.env(), stdout=log, stderr=subprocess.STDOUT,
                                start_new_session=True)
        self.clients.append(proc)
        return proc

    def _log_file(self, name):
        f = open(os.path.join(self.tmp, name), "w")
        self.logs.append(f)
        return f

    def stop(self):
        for proc in self.clients:
            _end(proc)
        if self.d is not None:
            try:
                self.d.close()
            except Exception:
                pass
            self.d = None
        _end(self.openbox)
        _end(self.xephyr)
        _end(self.xvfb)
        for f in self.logs:
            f.close()
        shutil.rmtree(self.tmp, ignore_errors=True)

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()

    # --- atoms and properties -------------------------------------------------------------

    def atom(self, name):
        return self.d.intern_atom(name)

    def title(self, window):
        try:
            prop = window.get_full_property(self.atom("_NET_WM_NAME"), self.atom("UTF8_STRING"))
            if prop is not None:
                return bytes(prop.value).decode("utf-8", "replace")
            prop = window.get_full_property(Xatom.WM_NAME, X.AnyPropertyType)
            if prop is not None:
                value = prop.value
                return value.decode("latin-1") if isinstance(value, bytes) else str(value)
        except xerror.BadWindow:
            pass
        return None

    def pid_of(self, window):
        try:
            prop = window.get_full_property(self.atom("_NET_WM_PID"), Xatom.CARDINAL)
        except xerror.BadWindow:
            return None
        return prop.value[0] if prop and len(prop.value) else None

    def states(self, window):
        prop = window.get_full_property(self.atom("_NET_WM_STATE"), Xatom.ATOM)
        return [self.d.get_atom_name(a) for a in prop.value] if prop else []

    # --- windows --------------------------------------------------------------------------

    def _tree(self, window, depth):
        try:
            children = window.query_tree().children
        except xerror.BadWindow:
            return
        for child in children:
            yield child
            if depth > 1:
                yield from self._tree(child, depth - 1)

    def windows_of(self, pid, viewable=True):
        """Top-level windows of a process: under a window manager they sit inside its frames."""
        found = []
        for w in self._tree(self.root, self.frame_depth if self.wm else 1):
            if self.pid_of(w) != pid:
                continue
            if viewable and not self.is_viewable(w):
                continue
            found.append(w)
        return found

    def find_any(self, title, viewable=True):
        """Windows of any client by title, e.g. another program's."""
        found = []
        for w in self._tree(self.root, self.frame_depth if self.wm else 1):
            if title_matches(self.title(w), title) and (not viewable or self.is_viewable(w)):
                found.append(w)
        return found

    def find(self, pid, title, viewable=True):
        return [w for w in self.windows_of(pid, viewable) if title_matches(self.title(w), title)]

    def wait_window(self, pid, title, timeout=10.0, viewable=True, exclude=()):
        deadline = time.monotonic() + timeout
        excluded = {w.id for w in exclude}
        while True:
            hits = [w for w in self.find(pid, title, viewable) if w.id not in excluded]
            if hits:
                return hits[0]
            if time.monotonic() > deadline:
                raise SessionError(f"no {'viewable ' if viewable else ''}window {title!r} "
                                   f"within {timeout} s")
            time.sleep(0.02)

    def is_viewable(self, window):
        try:
            return window.get_attributes().map_state == X.IsViewable
        except xerror.BadWindow:
            return False

    def wait_viewable(self, window, timeout, interval=0.002):
        """Returns the monotonic time at which the window was seen viewable, waking on the map
        and visibility events of the window and looking again every `interval` seconds."""
        try:
            window.change_attributes(event_mask=X.StructureNotifyMask | X.VisibilityChangeMask)
        except xerror.BadWindow:
            raise SessionError("the window is gone")
        self.d.sync()
        deadline = time.monotonic() + timeout
        fd = self.d.fileno()
        while True:
            if self.is_viewable(window):
                return time.monotonic()
            now = time.monotonic()
            if now > deadline:
                raise SessionError(f"window {window.id:#x} not viewable within {timeout} s")
            select.select([fd], [], [], min(interval, deadline - now))
            while self.d.pending_events():
                self.d.next_event()

    def wait_focus(self, target, timeout=5):
        """Waits until `target` has the keyboard: with no window manager the program gives a
        dialog the focus a moment after it is mapped, and a key pressed before then goes
        elsewhere."""
        deadline = time.monotonic() + timeout
        while getattr(self.d.get_input_focus().focus, "id", None) != target.id:
            if time.monotonic() > deadline:
                raise SessionError(f"{self.title(target)!r} did not get the keyboard focus")
            time.sleep(0.02)

    def wait_painted(self, x, y, width, height, timeout=5.0):
        """Waits until a part of the screen has something drawn on it and holds still; returns
        its pixels."""
        deadline = time.monotonic() + timeout
        before = None
        while True:
            now = self.grab(x, y, width, height)
            sig = now.signature()
            if sig == before and len(set(sig[i:i + 3] for i in range(0, len(sig), 4 * 97))) > 1:
                return now
            if time.monotonic() > deadline:
                raise SessionError("the window was not drawn")
            before = sig
            time.sleep(0.1)

    def wait_gone(self, window, timeout=5.0):
        deadline = time.monotonic() + timeout
        while self.is_viewable(window):
            if time.monotonic() > deadline:
                raise SessionError(f"window {window.id:#x} still viewable after {timeout} s")
            time.sleep(0.01)

    def client_geometry(self, window):
        """The client area in root coordinates: x, y, width, height."""
        g = window.get_geometry()
        pos = self.root.translate_coords(window, 0, 0)
        return pos.x, pos.y, g.width, g.height

    def frame_extents(self, window):
        prop = window.get_full_property(self.atom("_NET_FRAME_EXTENTS"), Xatom.CARDINAL)
        return tuple(prop.value) if prop else (0, 0, 0, 0)

    # --- timing through the server's clock -------------------------------------------------

    def stamp(self):
        """Asks for an event carrying the server's time at this point of our request stream."""
        self.helper.change_property(self._stamp_atom, Xatom.INTEGER, 32, [0])

    def stamped(self, act):
        """Does `act` right behind a stamp; returns the server's time of it and our own."""
        self.d.sync()
        while self.d.pending_events():
            self.d.next_event()
        self.stamp()
        act()
        self.d.flush()
        mono = time.monotonic()
        deadline = mono + 5
        while time.monotonic() < deadline:
            select.select([self.d.fileno()], [], [], 0.05)
            while self.d.pending_events():
                e = self.d.next_event()
                if e.type == X.PropertyNotify and e.window.id == self.helper.id:
                    return e.time, mono
        raise SessionError("the server did not answer a stamp")

    def measure_map(self, act, target=None, pid=None, title=None, timeout=10.0,
                    heartbeat_after=None, since=None):
        """Does `act` (input through XTEST, or starting a program) and waits for a window to
        become viewable: `target`, an existing window, or else a new window of process `pid` (a
        number, or a callable that gives it once `act` has started the process) with `title`.

        The times are the X server's, in ms after the input, which went in right behind a stamp.
        The event stream is in the server's order, so an event without a time of its own (a map,
        a window created) lies between the last timed event before it and the first one after
        it. From `heartbeat_after` seconds on, a stamp goes every millisecond to keep those
        brackets tight. `since`, a (server time, our time) pair from stamped(), measures from
        an earlier input instead."""
        d = self.d
        # Windows that may be the one, already there but not shown: their property changes
        # tell when the program asks for them.
        watched = [target] if target is not None else \
            [w for w in self.find(pid, title, viewable=False) if not self.is_viewable(w)]
        for w in watched:
            w.change_attributes(event_mask=X.StructureNotifyMask | X.VisibilityChangeMask
                                | X.PropertyChangeMask)
        watched_ids = {w.id: None for w in watched}
        self.root.change_attributes(event_mask=X.SubstructureNotifyMask)
        d.sync()
        while d.pending_events():
            d.next_event()
        self.stamp()
        act()
        d.flush()
        t0 = time.monotonic()
        origin, origin_mono = since if since is not None else (None, t0)
        start = last = None
        open_brackets = []          # waiting for the next timed event to close them
        created = {}                # window id -> bracket of its creation
        framed = {}                 # frame id -> client windows the window manager put in it
        result = None
        fd = d.fileno()
        deadline = t0 + timeout
        next_beat = t0 + heartbeat_after if heartbeat_after is not None else None

        def bracket():
            b = [last if last is not None else 0, None]
            open_brackets.append(b)
            return b

        try:
            while True:
                now = time.monotonic()
                if now > deadline:
                    raise SessionError(f"no window {title or hex(target.id)!r} viewable within "
                                       f"{timeout} s")
                if next_beat is not None and now >= next_beat:
                    self.stamp()
                    d.flush()
                    next_beat = now + 0.001
                wait = 0.001 if next_beat is not None else 0.005
                select.select([fd], [], [], max(0.0, min(wait, deadline - now)))
                while d.pending_events():
                    e = d.next_event()
                    if e.type == X.PropertyNotify and getattr(e, "time", 0):
                        if start is None:
                            if e.window.id != self.helper.id:
                                continue
                            start = origin if origin is not None else e.time
                        t = (e.time - start) & 0xFFFFFFFF
                        if watched_ids.get(e.window.id, 0) is None:
                            watched_ids[e.window.id] = (t, t)
                        for b in open_brackets:
                            b[1] = t
                        open_brackets.clear()
                        last = t
                        if result is not None and result["shown"][1] is not None:
                            return Timing(result["window"], *result["shown"],
                                          1000 * (result["seen"] - origin_mono),
                                          result["asked"], created)
                        continue
                    if start is None:
                        continue
                    if e.type == X.CreateNotify:
                        created[e.window.id] = bracket()
                    elif e.type == X.ReparentNotify:
                        framed.setdefault(e.parent.id, []).append(e.window)
                    elif e.type in (X.MapNotify, X.VisibilityNotify) and result is None:
                        hit = self._mapped_match(e.window, framed, target, pid, title)
                        if hit is not None:
                            result = {"window": hit, "shown": bracket(),
                                      "seen": time.monotonic(),
                                      "asked": created.get(hit.id)
                                      or watched_ids.get(hit.id)}
                            self.stamp()
                            d.flush()
        finally:
            self.root.change_attributes(event_mask=X.NoEventMask)
            d.sync()

    def _mapped_match(self, window, framed, target, pid, title):
        # A program started by the measured act is known by a callable: its process id.
        pid = pid() if callable(pid) else pid
        candidates = [window] + framed.get(window.id, [])
        for w in candidates:
            if target is not None:
                if w.id != target.id:
                    continue
            elif self.pid_of(w) != pid or not title_matches(self.title(w), title):
                continue
            if self.is_viewable(w):
                return w
        return None

    # --- input ----------------------------------------------------------------------------

    def move_to(self, x, y):
        xtest.fake_input(self.d, X.MotionNotify, x=int(x), y=int(y))
        self.d.sync()

    def press_root(self, x, y, button=1):
        """Moves to a screen point and presses a button there; release() ends the click."""
        self.move_to(x, y)
        time.sleep(0.02)
        xtest.fake_input(self.d, X.ButtonPress, button)
        self.d.sync()
        time.sleep(0.03)

    def release(self, button=1):
        xtest.fake_input(self.d, X.ButtonRelease, button)

    def click_root(self, x, y, button=1, settle=0.05):
        """Click at a screen point; returns the monotonic time the release was sent."""
        self.press_root(x, y, button)
        self.release(button)
        self.d.flush()
        released = time.monotonic()
        self.last_click = (released, x, y)
        self.d.sync()
        time.sleep(settle)
        return released

    def single_click_at(self, x, y, interval):
        """Waits until a click at this point would not make a double click with the last one,
        `interval` seconds apart at the most."""
        if self.last_click and (self.last_click[1], self.last_click[2]) == (x, y):
            wait = self.last_click[0] + interval - time.monotonic()
            if wait > 0:
                time.sleep(wait)

    def click(self, window, x, y, button=1, settle=0.05):
        """Click at a point of a window's client area."""
        gx, gy, _, _ = self.client_geometry(window)
        return self.click_root(gx + x, gy + y, button, settle)

    def keycode(self, name):
        keysym = XK.string_to_keysym(name)
        if keysym == 0 and len(name) == 1:
            keysym = ord(name)
        code = self.d.keysym_to_keycode(keysym)
        if not code:
            raise SessionError(f"no key for {name!r}")
        return code

    def _codes(self, combo):
        modifiers = {"ctrl": "Control_L", "alt": "Alt_L", "shift": "Shift_L"}
        return [self.keycode(modifiers.get(n.lower(), n)) for n in combo.split("+")]

    def key_down(self, combo):
        for code in self._codes(combo):
            xtest.fake_input(self.d, X.KeyPress, code)

    def key_up(self, combo):
        for code in reversed(self._codes(combo)):
            xtest.fake_input(self.d, X.KeyRelease, code)

    def key(self, combo, settle=0.05):
        """Press and release a key such as "Return", "Escape", "ctrl+a" or "alt+F4"."""
        self.key_down(combo)
        self.d.sync()
        time.sleep(0.02)
        self.key_up(combo)
        self.d.sync()
        time.sleep(settle)

    def type_text(self, text):
        names = {" ": "space", "'": "apostrophe", ".": "period", "-": "minus", ",": "comma"}
        for ch in text:
            self.key(names.get(ch, ch), settle=0.01)
        time.sleep(0.05)

    # --- close requests -------------------------------------------------------------------

    def send_delete(self, window):
        """WM_DELETE_WINDOW straight to the client, as a window manager sends it."""
        protocols = self.atom("WM_PROTOCOLS")
        ev = xevent.ClientMessage(window=window, client_type=protocols,
                                  data=(32, [self.atom("WM_DELETE_WINDOW"), X.CurrentTime,
                                             0, 0, 0]))
        window.send_event(ev, event_mask=X.NoEventMask, propagate=False)
        self.d.sync()

    def request_close(self, window):
        """Asks the window manager to close a window (as a pager does), or without one sends the
        close request to the client directly."""
        if not self.wm:
            self.send_delete(window)
            return
        ev = xevent.ClientMessage(window=window, client_type=self.atom("_NET_CLOSE_WINDOW"),
                                  data=(32, [X.CurrentTime, 2, 0, 0, 0]))
        self.root.send_event(ev, event_mask=X.SubstructureRedirectMask
                             | X.SubstructureNotifyMask)
        self.d.sync()

    def request_iconic(self, window):
        """Asks for the window to be minimised, as a client or a taskbar does (ICCCM
        WM_CHANGE_STATE); without a window manager nobody acts on it."""
        ev = xevent.ClientMessage(window=window, client_type=self.atom("WM_CHANGE_STATE"),
                                  data=(32, [3, 0, 0, 0, 0]))
        self.root.send_event(ev, event_mask=X.SubstructureRedirectMask
                             | X.SubstructureNotifyMask)
        self.d.sync()

    def activate(self, window):
        """Brings a window back through the window manager, as a taskbar does."""
        ev = xevent.ClientMessage(window=window, client_type=self.atom("_NET_ACTIVE_WINDOW"),
                                  data=(32, [2, X.CurrentTime, 0, 0, 0]))
        self.root.send_event(ev, event_mask=X.SubstructureRedirectMask
                             | X.SubstructureNotifyMask)
        self.d.sync()

    # --- other clients --------------------------------------------------------------------

    def create_window(self, x, y, width, height, title, colour, dock_strut=None,
                      above=False):
        """A plain client window of our own; as a dock it reserves `dock_strut` pixels at the
        top of the screen, and it may ask to stay above other windows."""
        screen = self.d.screen()
        cmap = screen.default_colormap
        pixel = cmap.alloc_color(*[c * 257 for c in colour]).pixel
        w = self.root.create_window(x, y, width, height, 0, screen.root_depth,
                                    X.InputOutput, X.CopyFromParent, background_pixel=pixel,
                                    event_mask=X.ExposureMask | X.StructureNotifyMask)
        w.set_wm_name(title)
        w.change_property(self.atom("_NET_WM_NAME"), self.atom("UTF8_STRING"), 8,
                          title.encode())
        w.set_wm_class("quill-e2e", "QuillE2E")
        w.set_wm_normal_hints(flags=1 | 2 | 4 | 8, x=x, y=y, width=width, height=height)
        if dock_strut:
            w.change_property(self.atom("_NET_WM_WINDOW_TYPE"), Xatom.ATOM, 32,
                              [self.atom("_NET_WM_WINDOW_TYPE_DOCK")])
            w.change_property(self.atom("_NET_WM_STRUT"), Xatom.CARDINAL, 32,
                              [0, 0, dock_strut, 0])
            w.change_property(self.atom("_NET_WM_STRUT_PARTIAL"), Xatom.CARDINAL, 32,
                              [0, 0, dock_strut, 0, 0, 0, 0, 0, x, x + width - 1, 0, 0])
        w.map()
        self.d.sync()
        self.wait_viewable(w, 5)
        if above:
            self.make_above(w)
        return w

    def make_above(self, window):
        """_NET_WM_STATE_ABOVE through the window manager, as a client turns it on once mapped."""
        state = self.atom("_NET_WM_STATE")
        ev = xevent.ClientMessage(window=window, client_type=state,
                                  data=(32, [1, self.atom("_NET_WM_STATE_ABOVE"), 0, 1, 0]))
        self.root.send_event(ev, event_mask=X.SubstructureRedirectMask
                             | X.SubstructureNotifyMask)
        self.d.sync()
        if self.wm:
            deadline = time.monotonic() + 5
            while "_NET_WM_STATE_ABOVE" not in self.states(window):
                if time.monotonic() > deadline:
                    raise SessionError("the window manager did not keep the window above")
                time.sleep(0.02)

    # --- pixels ---------------------------------------------------------------------------

    def grab(self, x, y, width, height):
        img = self.root.get_image(int(x), int(y), int(width), int(height), X.ZPixmap,
                                  0xFFFFFFFF)
        data = img.data if isinstance(img.data, (bytes, bytearray)) else bytes(img.data)
        return Pixels(x, y, width, height, data, self._lsb)

    def pixel(self, x, y):
        return self.grab(x, y, 1, 1).at(0, 0)

    def grab_client(self, window, x, y, width, height):
        gx, gy, _, _ = self.client_geometry(window)
        return self.grab(gx + x, gy + y, width, height)

    def save_png(self, path, x=0, y=0, width=None, height=None):
        """The screen (or a part of it) as a PNG, through ImageMagick. With nested screens, the
        Xvfb that shows them all."""
        width = width or self.width
        height = height or self.height
        env = self.env()
        if self.outer_name:
            env["DISPLAY"] = self.outer_name
        subprocess.run(["import", "-silent", "-window", "root", "-crop",
                        f"{width}x{height}+{x}+{y}", "+repage", path],
                       env=env, check=True)


class Program:
    """The built program, started on a session's display as it ships: `argv` runs it (under
    Wine, wine64 and the .exe), `env` is added to the session's environment."""

    def __init__(self, session, path, argv=None, env=None):
        self.session = session
        self.log_path = os.path.join(session.tmp, f"program-{time.monotonic_ns()}.log")
        self._log = open(self.log_path, "w")
        environment = session.env()
        environment.update(env or {})
        self.proc = subprocess.Popen(argv or [path], env=environment, stdout=self._log,
                                     stderr=subprocess.STDOUT, start_new_session=True)
        self.pid = self.proc.pid

    def windows(self, viewable=True):
        return self.session.windows_of(self.pid, viewable)

    def window(self, title, timeout=10.0, exclude=()):
        return self.session.wait_window(self.pid, title, timeout, exclude=exclude)

    def running(self):
        return self.proc.poll() is None

    def wait_exit(self, timeout=5.0):
        """The exit status, or None if the program is still running after `timeout` seconds."""
        try:
            return self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            return None

    def output(self):
        if not self._log.closed:
            self._log.flush()
        with open(self.log_path, errors="replace") as f:
            return f.read()

    def stop(self):
        _end(self.proc)
        self._log.close()


def title_matches(actual, wanted):
    """A window's title is exactly its caption."""
    return actual == wanted


def _end(proc):
    if proc is None or proc.poll() is not None:
        return
    try:
        os.killpg(proc.pid, signal.SIGTERM)
    except ProcessLookupError:
        return
    try:
        proc.wait(3)
    except subprocess.TimeoutExpired:
        os.killpg(proc.pid, signal.SIGKILL)
        proc.wait()
