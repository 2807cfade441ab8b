# SPDX-License-Identifier: MIT
"""Real desktops to run the built program on: sway (wlroots) and GNOME's mutter as headless
Wayland compositors with two outputs of 1280x1024 side by side, with XWayland and without, and
two X11 window managers on Xvfb with one monitor: Xfce's xfwm4 and KDE Plasma's KWin (kwin_x11).

The compositors will not run as root, and CI runs as root: there, they and the program run as an
unprivileged account made for the tests (USER), each desktop with its own runtime directory. The
program is a copy of the build, so that account can run it wherever the build lies.

What a desktop shows is read from the compositor or the window system, never from the program:
sway's tree (`swaymsg -t get_tree`) and screenshots (`grim`); on mutter, the X server's windows
through XWayland, or for a native Wayland program the Wayland protocol it speaks, which libwayland
prints with WAYLAND_DEBUG=1 (its requests, and the compositor's answers: the sizes it configures,
the outputs a surface enters); on sway, the roads that check what the program asked of sway read
that log too, the others run the program without it, as a user does. Input goes in as a user's
would, through the compositor: a virtual pointer (sway), wtype for keys (sway), mutter's remote
desktop interface (pointer and keys), or XTEST on Xvfb.

A program killed by a signal leaves a core file, from which gdb reads the stack it died on
(Program.death), to tell Qt 6.4's Wayland frame callback race from any other death.
"""

import json
import os
import pwd
import re
import resource
import select
import shutil
import signal
import socket
import struct
import subprocess
import tempfile
import time
from fnmatch import fnmatch

from Xlib import Xatom, error as xerror

from xsession import Session, SessionError, _end as end

USER = "quill-desk"
OUTPUT_SIZE = (1280, 1024)
BTN_LEFT = 0x110


class Output:
    def __init__(self, name, x, y, width, height):
        self.name, self.x, self.y, self.width, self.height = name, x, y, width, height

    @property
    def rect(self):
        return (self.x, self.y, self.width, self.height)

    def contains(self, x, y):
        return self.x <= x < self.x + self.width and self.y <= y < self.y + self.height

    def __repr__(self):
        return f"{self.name} {self.width}x{self.height}+{self.x}+{self.y}"


class Win:
    """A window of the program as the desktop shows it. `rect` is the client area in the
    desktop's coordinates, or None where the compositor does not tell (a native Wayland window
    on mutter); `size` is known everywhere. `shell` says which window system the program used:
    "x11" or "wayland"."""

    def __init__(self, title, rect, size, fullscreen, outputs, shell, asked_output=None,
                 asked_position=None):
        self.title, self.rect, self.size = title, rect, size
        self.fullscreen, self.outputs, self.shell = fullscreen, outputs, shell
        self.con_id = None                     # sway's id for it
        self.asked_output = asked_output       # Wayland: the output named in set_fullscreen
        self.asked_position = asked_position   # X11: the place the program asked for
        self.focused = None                    # has the keyboard, where the desktop tells
        self.hovered = None                    # has the pointer, where the desktop tells
        self.unanswered = None                 # Wayland: a configure acked and not yet committed

    def __repr__(self):
        where = self.rect if self.rect is not None else f"size {self.size}"
        return (f"<{self.title!r} {self.shell} {where} on {self.outputs}"
                + (" full screen" if self.fullscreen else "")
                + (f", configure {self.unanswered} unanswered" if self.unanswered is not None
                   else "") + ">")


# --- the account and the files it needs -----------------------------------------------------------

def desktop_account():
    """(uid, gid) to run compositors and programs as, or None to run them as ourselves."""
    if os.geteuid() != 0:
        return None
    try:
        pw = pwd.getpwnam(USER)
    except KeyError:
        made = subprocess.run(["useradd", "--system", "--no-create-home", "--home-dir",
                               "/nonexistent", "--shell", "/usr/sbin/nologin", USER],
                              capture_output=True, text=True)
        try:
            pw = pwd.getpwnam(USER)   # another run may have made it meanwhile
        except KeyError:
            raise SessionError(f"could not make the account {USER}: {made.stderr.strip()}")
    return pw.pw_uid, pw.pw_gid


def ensure_x11_socket_dir():
    """XWayland puts its socket in /tmp/.X11-unix, which mutter wants owned by root and writable
    by all; an X server started by some other account could have made it otherwise."""
    if os.geteuid() != 0:
        return
    path = "/tmp/.X11-unix"
    try:
        os.mkdir(path)
    except FileExistsError:
        pass
    st = os.lstat(path)
    if st.st_uid != 0 or (st.st_mode & 0o7777) != 0o1777:
        os.chown(path, 0, 0)
        os.chmod(path, 0o1777)


class Workspace:
    """A folder the account can read, holding a copy of the program, and per desktop a runtime
    directory and a home that belong to the account."""

    def __init__(self, program, account):
        self.account = account
        self.root = tempfile.mkdtemp(prefix="quill-desktops-")
        os.chmod(self.root, 0o755)
        self.program = os.path.join(self.root, "quillendor")
        shutil.copy2(program, self.program)
        os.chmod(self.program, 0o755)
        self.env_extra = sanitizer_environment(self.root)

    def private_dir(self, name):
        path = os.path.join(self.root, name)
        os.makedirs(path, mode=0o700, exist_ok=True)
        os.chmod(path, 0o700)
        if self.account:
            os.chown(path, *self.account)
        return path

    def remove(self):
        shutil.rmtree(self.root, ignore_errors=True)


def sanitizer_environment(folder):
    """The sanitizer settings of a sanitizer build's test run, for the program too; a
    suppressions file the account may not be able to read is copied beside the program."""
    env = {}
    for name in ("ASAN_OPTIONS", "LSAN_OPTIONS", "UBSAN_OPTIONS"):
        value = os.environ.get(name)
        if not value:
            continue
        parts = []
        for part in value.split(":"):
            if part.startswith("suppressions="):
                source = part.split("=", 1)[1]
                copy = os.path.join(folder, f"{name.lower()}.supp")
                if os.path.exists(source):
                    shutil.copy(source, copy)
                    os.chmod(copy, 0o644)
                    part = f"suppressions={copy}"
            parts.append(part)
        env[name] = ":".join(parts)
    return env


# --- processes ------------------------------------------------------------------------------------

class Program:
    """The program started on a desktop as the account, with its standard error apart. It may
    leave a core file when a signal kills it, so that the stack it died on can be read."""

    def __init__(self, desktop, env):
        stamp = time.monotonic_ns()
        self.out_path = os.path.join(desktop.logs, f"program-{stamp}.out")
        self.err_path = os.path.join(desktop.logs, f"program-{stamp}.err")
        self._out = open(self.out_path, "w")
        self._err = open(self.err_path, "w")
        self.binary = desktop.ws.program
        self.cwd = desktop.home
        self.proc = desktop.popen([self.binary], env, stdout=self._out, stderr=self._err,
                                  preexec_fn=allow_core_file)
        self.pid = self.proc.pid
        self.protocol = WaylandLog(self.err_path) if env.get("WAYLAND_DEBUG") else None
        self._death = None
        self._stopped = False

    def running(self):
        return self.proc.poll() is None

    def wait_exit(self, timeout=5.0):
        try:
            return self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            return None

    def errors(self):
        """Standard error without the Wayland protocol log."""
        with open(self.err_path, errors="replace") as f:
            return [line.rstrip("\n") for line in f
                    if not re.match(r"^\[\s*\d+\.\d+\]\s", line)]

    def death(self):
        """How the program died, if a signal killed it before stop() ended it: a Death, or None
        while it runs or when it ended by itself."""
        if self._stopped or self._death is not None:
            return self._death
        code = self.proc.poll()
        if code is not None and code < 0:
            self._death = Death(self, -code)
        return self._death

    def stop(self):
        self.death()
        self._stopped = True
        end(self.proc)
        self._out.close()
        self._err.close()


def allow_core_file():
    """In the program's process before it starts: a core file on a fatal signal, whatever limit
    the tests run under (nothing else changes until such a signal)."""
    _, hard = resource.getrlimit(resource.RLIMIT_CORE)
    resource.setrlimit(resource.RLIMIT_CORE, (hard, hard))


# --- how a program died ---------------------------------------------------------------------------

class Frame:
    def __init__(self, function, library):
        self.function, self.library = function, library or ""

    def __repr__(self):
        return self.function + (f" ({os.path.basename(self.library)})" if self.library else "")


# A frame with no debug information ("name () from library"; the name may hold parentheses), or
# one with it ("name (arguments) at file:line").
_BARE_FRAME = re.compile(r"^#(\d+)\s+(?:0x[0-9a-f]+ in )?(.+) \(\)(?: from (\S+))?\s*$")
_FRAME = re.compile(r"^#(\d+)\s+(?:0x[0-9a-f]+ in )?(.+?) \(.*\)(?: from (\S+)| at \S+)?\s*$")


def frames(gdb_output):
    """The frames of the first backtrace gdb printed, innermost first."""
    found = []
    for line in gdb_output.splitlines():
        m = _BARE_FRAME.match(line) or _FRAME.match(line)
        if not m:
            if found and not line.startswith((" ", "\t")):
                break
            continue
        if m.group(1) == "0" and found:
            break
        found.append(Frame(m.group(2), m.group(3)))
    return found


def qt_frame_callback_race(stack):
    """True when the program died on a stack of Qt 6.4's Wayland frame callback race: the frame
    event thread of Qt's Wayland plugin and the main thread, hiding a window
    (QWaylandWindow::reset), both destroy the window's frame callback, with no lock between them
    (bench/wayland_race.py --forced makes them meet under gdb). Either thread may be the one that
    dies of it, in libwayland (its wl_proxy_unref assertion, or freed memory) or, in the event
    thread, in the frame callback listener of a window deleted meanwhile.
      - The event thread: its stack comes down from Qt's thread through
        wl_display_dispatch_queue_pending, and that thread dispatches nothing but frame
        callbacks; everything above it is libwayland's dispatch, the listener and what it calls
        (Qt's Wayland plugin, Qt Core, libffi, the C library).
      - The main thread: it died inside libwayland, called straight from QWaylandWindow::reset."""
    names = [f.function for f in stack]
    libs = [f.library for f in stack]
    if "start_thread" in names and "wl_display_dispatch_queue_pending" in names:
        i = names.index("wl_display_dispatch_queue_pending")
        if i + 1 < len(stack) and "libQt6WaylandClient" in libs[i + 1]:
            dispatch = ("libwayland-client", "libffi", "libc.so", "libQt6WaylandClient",
                        "libQt6Core")
            return all(not lib or any(d in lib for d in dispatch) for lib in libs[:i])
    reset = "QtWaylandClient::QWaylandWindow::reset()"
    if reset in names:
        inner = libs[:names.index(reset)]
        return any("libwayland-client" in lib for lib in inner) and \
            all(not lib or "libwayland-client" in lib or "libc.so" in lib for lib in inner)
    return False


class Death:
    """A signal that killed the program, with the stack of the thread that got it, read by gdb
    from the core file the program left (see core_files)."""

    def __init__(self, program, signum):
        self.signal = signal.Signals(signum).name if signum in signal.valid_signals() \
            else f"signal {signum}"
        self.stack = []
        self.why_no_stack = ""
        cores = core_files(program)
        if not cores:
            with open("/proc/sys/kernel/core_pattern") as f:
                pattern = f.read().strip()
            self.why_no_stack = f"no core file in {program.cwd} (kernel.core_pattern is " \
                                f"{pattern!r})"
        elif not shutil.which("gdb"):
            self.why_no_stack = "no gdb to read the core file"
        else:
            self.stack, out = core_stack(program.binary, cores[0])
            if not self.stack:
                self.why_no_stack = "gdb read no stack from the core file: " + out[-500:]
        for path in cores:
            os.remove(path)
        self.qt_race = qt_frame_callback_race(self.stack)

    def __str__(self):
        if not self.stack:
            return f"{self.signal}; {self.why_no_stack}"
        return f"{self.signal} in " + " <- ".join(map(repr, self.stack[:14]))


def core_stack(binary, core):
    """The stack of the thread that got the signal, as gdb reads it from a core file, and what
    gdb said."""
    out = subprocess.run(["gdb", "-batch", "-nx", "-ex", "set debuginfod enabled off",
                          "-ex", "echo ==stack==\\n", "-ex", "bt 40", binary, core],
                         capture_output=True, text=True, timeout=120).stdout
    return frames(out.split("==stack==", 1)[-1]), out


def core_files(program):
    """The core files the program left, named as kernel.core_pattern and kernel.core_uses_pid
    say: "core" in its folder by default."""
    def read(name):
        with open(f"/proc/sys/kernel/{name}") as f:
            return f.read().strip()
    pattern = read("core_pattern")
    if not pattern or pattern.startswith("|"):
        return []        # handed to a program (systemd-coredump, apport): not a file of ours
    if "%p" not in pattern and read("core_uses_pid") == "1":
        pattern += ".%p"
    name = re.sub(r"%.", "*", pattern.replace("%p", str(program.pid)))
    folder, name = os.path.split(os.path.join(program.cwd, name))
    try:
        return [os.path.join(folder, n) for n in os.listdir(folder) if fnmatch(n, name)]
    except OSError:
        return []


# --- the Wayland protocol a native program speaks ---------------------------------------------------

_LINE = re.compile(r"^\[\s*[\d.]+\]\s+(->\s+)?([A-Za-z0-9_]+)@(\d+)\.([A-Za-z0-9_]+)\((.*)\)\s*$")
_OBJ = re.compile(r"([A-Za-z0-9_]+)@(\d+)")


class WaylandLog:
    """Reads, as it grows, what libwayland prints of a client's protocol (WAYLAND_DEBUG=1), and
    keeps the client's toplevel windows: title, the output a full-screen request named, the size
    the compositor gave, whether a buffer is on it, and the outputs it is on."""

    def __init__(self, path):
        self.path = path
        self.offset = 0
        self.partial = ""
        self.outputs = {}          # wl_output id -> its name
        self.xdg_outputs = {}      # zxdg_output_v1 id -> wl_output id
        self.xdg_surfaces = {}     # xdg_surface id -> wl_surface id
        self.toplevels = {}        # xdg_toplevel id -> dict
        self.entered = {}          # wl_surface id -> set of wl_output ids
        self.buffered = {}         # wl_surface id -> a buffer is attached
        self.unanswered = {}       # xdg_surface id -> a configure acked, no frame committed since
        self.pointer_on = None     # wl_surface id under the pointer
        self.keyboard_on = None    # wl_surface id with the keyboard

    def _read(self):
        with open(self.path, errors="replace") as f:
            f.seek(self.offset)
            data = f.read()
            self.offset = f.tell()
        lines = (self.partial + data).split("\n")
        self.partial = lines.pop()
        for line in lines:
            self._line(line)

    def _line(self, line):
        m = _LINE.match(line)
        if not m:
            return
        sent, iface, oid, msg, args = m.group(1) is not None, m.group(2), int(m.group(3)), \
            m.group(4), m.group(5)
        if sent and iface == "wl_registry" and msg == "bind" and '"wl_output"' in args:
            new = re.findall(r"@(\d+)", args)
            if new:
                self.outputs[int(new[-1])] = None
        elif sent and iface == "zxdg_output_manager_v1" and msg == "get_xdg_output":
            ids = [int(i) for _, i in _OBJ.findall(args)]
            self.xdg_outputs[ids[0]] = ids[1]
        elif iface == "zxdg_output_v1" and not sent and msg == "name" \
                and self.xdg_outputs.get(oid) in self.outputs:
            self.outputs[self.xdg_outputs[oid]] = args.strip().strip('"')
        elif iface == "wl_output" and not sent and msg == "name" and oid in self.outputs:
            self.outputs[oid] = args.strip().strip('"')
        elif sent and iface == "xdg_wm_base" and msg == "get_xdg_surface":
            ids = [int(i) for _, i in _OBJ.findall(args)]
            self.xdg_surfaces[ids[0]] = ids[1]
        elif sent and iface == "xdg_surface" and msg == "get_toplevel":
            tid = int(_OBJ.findall(args)[0][1])
            self.toplevels[tid] = {"surface": self.xdg_surfaces.get(oid), "xdg": oid,
                                   "title": None, "asked": None, "size": None}
        elif sent and iface == "xdg_surface" and msg == "ack_configure":
            self.unanswered[oid] = int(args)
        elif iface == "xdg_toplevel" and oid in self.toplevels:
            t = self.toplevels[oid]
            if sent and msg == "set_title":
                t["title"] = json.loads(args) if args.startswith('"') else args
            elif sent and msg == "set_fullscreen":
                found = _OBJ.findall(args)
                t["asked"] = int(found[0][1]) if found else "any"
            elif sent and msg == "unset_fullscreen":
                t["asked"] = None
            elif sent and msg == "destroy":
                del self.toplevels[oid]
            elif not sent and msg == "configure":
                w, h = [int(v) for v in args.split(",")[:2]]
                if w and h:
                    t["size"] = (w, h)
        elif iface in ("wl_pointer", "wl_keyboard") and not sent and msg in ("enter", "leave"):
            found = _OBJ.findall(args)
            surface = int(found[0][1]) if found else None    # nil: a surface already gone
            attr = "pointer_on" if iface == "wl_pointer" else "keyboard_on"
            if msg == "enter":
                setattr(self, attr, surface)
            elif surface is None or getattr(self, attr) == surface:
                setattr(self, attr, None)
        elif iface == "wl_surface":
            if not sent and msg in ("enter", "leave") and _OBJ.findall(args):
                out = int(_OBJ.findall(args)[0][1])
                on = self.entered.setdefault(oid, set())
                (on.add if msg == "enter" else on.discard)(out)
            elif sent and msg == "attach":
                self.buffered[oid] = not args.startswith("nil")
            elif sent and msg == "commit":
                for xdg in [x for x, surface in self.xdg_surfaces.items() if surface == oid]:
                    self.unanswered.pop(xdg, None)
            elif sent and msg == "destroy":
                self.entered.pop(oid, None)
                self.buffered.pop(oid, None)

    def output_name(self, oid):
        return self.outputs.get(oid) or f"wl_output@{oid}"

    def windows(self, output_list):
        """The toplevels on screen, as Win; full screen when the window asked for it and the
        compositor gave it the size of an output."""
        self._read()
        sizes = {(o.width, o.height) for o in output_list}
        found = []
        for t in self.toplevels.values():
            s = t["surface"]
            if not t["title"] or not self.buffered.get(s):
                continue
            names = sorted(self.output_name(o) for o in self.entered.get(s, ()))
            fullscreen = t["asked"] is not None and t["size"] in sizes
            rect = None
            if fullscreen and len(names) == 1:
                match = [o for o in output_list if o.name == names[0]]
                rect = match[0].rect if match else None
            asked = self.output_name(t["asked"]) if isinstance(t["asked"], int) else t["asked"]
            win = Win(t["title"], rect, t["size"], fullscreen, names, "wayland", asked)
            win.focused = self.keyboard_on == s
            win.hovered = self.pointer_on == s
            win.unanswered = self.unanswered.get(t["xdg"])
            found.append(win)
        return found


# --- input through the compositor -------------------------------------------------------------------

class VirtualPointer:
    """A pointer device of our own in a wlroots compositor (zwlr_virtual_pointer_v1), spoken
    straight on the Wayland socket: a mouse plugged in for the whole session, so that clients see
    a pointer before any click is made."""

    def __init__(self, socket_path, layout_size):
        self.width, self.height = layout_size
        self.sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.sock.connect(socket_path)
        self.next_id = 2
        self.globals = {}
        self.buffer = b""
        registry = self._new()
        self._send(1, 1, struct.pack("<I", registry))            # wl_display.get_registry
        self._roundtrip()
        manager = [(n, v) for n, (i, v) in self.globals.items()
                   if i == "zwlr_virtual_pointer_manager_v1"]
        if not manager:
            raise SessionError("the compositor offers no virtual pointer")
        name, _ = manager[0]
        self.manager = self._new()
        self._send(registry, 0, struct.pack("<I", name) + _string("zwlr_virtual_pointer_manager_v1")
                   + struct.pack("<II", 1, self.manager))        # wl_registry.bind
        self.pointer = self._new()
        self._send(self.manager, 0, struct.pack("<II", 0, self.pointer))  # create_virtual_pointer
        self._roundtrip()

    def _new(self):
        self.next_id += 1
        return self.next_id - 1

    def _send(self, obj, opcode, payload):
        self.sock.sendall(struct.pack("<II", obj, ((8 + len(payload)) << 16) | opcode) + payload)

    def _roundtrip(self, timeout=5.0):
        callback = self._new()
        self._send(1, 0, struct.pack("<I", callback))             # wl_display.sync
        deadline = time.monotonic() + timeout
        while True:
            while len(self.buffer) >= 8:
                obj, word = struct.unpack("<II", self.buffer[:8])
                size, opcode = word >> 16, word & 0xFFFF
                if len(self.buffer) < size:
                    break
                body, self.buffer = self.buffer[8:size], self.buffer[size:]
                if obj == 1 and opcode == 0:
                    raise SessionError("the compositor refused the virtual pointer: "
                                       + _read_string(body, 8)[0])
                if obj == 2 and opcode == 0:                     # wl_registry.global
                    name = struct.unpack("<I", body[:4])[0]
                    iface, rest = _read_string(body, 4)
                    self.globals[name] = (iface, struct.unpack("<I", body[rest:rest + 4])[0])
                if obj == callback and opcode == 0:
                    return
            if time.monotonic() > deadline:
                raise SessionError("the compositor did not answer")
            ready, _, _ = select.select([self.sock], [], [], 0.1)
            if ready:
                data = self.sock.recv(65536)
                if not data:
                    raise SessionError("the compositor closed the connection")
                self.buffer += data

    def _stamp(self):
        return int(time.monotonic() * 1000) & 0xFFFFFFFF

    def move(self, x, y):
        self._send(self.pointer, 1, struct.pack("<IIIII", self._stamp(), int(x), int(y),
                                                self.width, self.height))
        self._send(self.pointer, 4, b"")                          # frame
        self._roundtrip()

    def button(self, pressed, button=BTN_LEFT):
        self._send(self.pointer, 2, struct.pack("<III", self._stamp(), button, 1 if pressed else 0))
        self._send(self.pointer, 4, b"")
        self._roundtrip()

    def close(self):
        try:
            self.sock.close()
        except OSError:
            pass


def _string(text):
    data = text.encode() + b"\0"
    return struct.pack("<I", len(data)) + data + b"\0" * (-len(data) % 4)


def _read_string(body, at):
    length = struct.unpack("<I", body[at:at + 4])[0]
    text = body[at + 4:at + 4 + length - 1].decode(errors="replace")
    return text, at + 4 + length + (-length % 4)


# mutter's remote desktop session lives as long as the D-Bus connection that made it, so a small
# helper holds it and takes commands on its standard input: "move X Y", "button N 0|1",
# "keys KEYSYM..." (pressed in order, released in reverse). Relative motions only (absolute ones
# need a screen cast stream): the pointer is first pushed into the top-left corner.
REMOTE_DESKTOP_HELPER = r'''
import sys, dbus
bus = dbus.SessionBus()
name = "org.gnome.Mutter.RemoteDesktop"
path = dbus.Interface(bus.get_object(name, "/org/gnome/Mutter/RemoteDesktop"),
                      "org.gnome.Mutter.RemoteDesktop").CreateSession()
s = dbus.Interface(bus.get_object(name, path), "org.gnome.Mutter.RemoteDesktop.Session")
s.Start()
def move(x, y):
    # A motion that would leave every monitor stops at the edge of the one the pointer is on:
    # into the top-left corner monitor by monitor, then out to the point.
    for _ in range(4):
        s.NotifyPointerMotionRelative(-100000.0, -100000.0)
        s.NotifyPointerMotionRelative(-1.0, 0.0)
    s.NotifyPointerMotionRelative(-100000.0, -100000.0)
    if x or y:
        s.NotifyPointerMotionRelative(float(x), float(y))
move(0, 0)
s.NotifyKeyboardKeysym(dbus.UInt32(0xffe1), True)
s.NotifyKeyboardKeysym(dbus.UInt32(0xffe1), False)
print("ready", flush=True)
for line in sys.stdin:
    w = line.split()
    if w[0] == "move":
        move(int(w[1]), int(w[2]))
    elif w[0] == "button":
        s.NotifyPointerButton(int(w[1]), w[2] == "1")
    elif w[0] == "keys":
        # Press and release go out together: Wayland programs repeat a key themselves while it
        # is down, and a busy compositor could hold a lone release back long enough for that.
        syms = [dbus.UInt32(int(k)) for k in w[1:]]
        for k in syms:
            s.NotifyKeyboardKeysym(k, True, ignore_reply=True)
        for k in reversed(syms[1:]):
            s.NotifyKeyboardKeysym(k, False, ignore_reply=True)
        s.NotifyKeyboardKeysym(syms[0], False)
    print("done", flush=True)
'''

KEYSYMS = {"Return": 0xff0d, "Tab": 0xff09, "Escape": 0xff1b, "space": 0x20, "F4": 0xffc1,
           "alt": 0xffe9, "ctrl": 0xffe3, "shift": 0xffe1}


def keysym(name):
    if name in KEYSYMS:
        return KEYSYMS[name]
    if len(name) == 1:
        return ord(name)
    raise SessionError(f"no keysym for {name!r}")


# --- desktops ------------------------------------------------------------------------------------

class Desktop:
    """One desktop session: started, read, driven and stopped by the tests."""

    name = ""
    x_server = False
    places_x11_windows = True   # puts X11 windows where they ask to be
    late_redraw = False         # may leave an output undrawn until the pointer goes there
    sees_wayland_windows = True  # tells of native Wayland windows without the protocol log
    can_add_output = False      # add_output() plugs in one more output

    def __init__(self, ws, platform=None):
        self.ws = ws
        self.platform = platform          # a QT_QPA_PLATFORM the user chose, or None
        self.runtime = ws.private_dir(f"{self.name}-runtime")
        self.home = ws.private_dir(f"{self.name}-home")
        self.logs = os.path.join(ws.root, f"{self.name}-logs")
        os.makedirs(self.logs, exist_ok=True)
        self.procs = []
        self.outputs = []

    # what the program should run on here
    def expected_shell(self):
        if self.platform:
            return "wayland" if self.platform.startswith("wayland") else "x11"
        return "x11" if self.x_server else "wayland"

    def popen(self, argv, env, **kw):
        kw.setdefault("stdout", subprocess.DEVNULL)
        kw.setdefault("stderr", subprocess.STDOUT)
        if self.ws.account:
            uid, gid = self.ws.account
            kw.update(user=uid, group=gid, extra_groups=[])
        return subprocess.Popen(argv, env=env, cwd=self.home, start_new_session=True, **kw)

    def run_as(self, argv, env, timeout=10):
        proc = self.popen(argv, env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        try:
            out, _ = proc.communicate(timeout=timeout)
        except subprocess.TimeoutExpired:
            end(proc)
            raise SessionError(f"{argv[0]} did not finish within {timeout} s")
        return proc.returncode, out.decode(errors="replace")

    def base_env(self):
        env = {"PATH": "/usr/local/bin:/usr/bin:/bin", "HOME": self.home,
               "XDG_RUNTIME_DIR": self.runtime, "LANG": "C.UTF-8"}
        env.update(self.ws.env_extra)
        return env

    def log_file(self, name):
        return open(os.path.join(self.logs, name), "w")

    def program_env(self):
        """What a program started in this session finds in its environment."""
        raise NotImplementedError

    def start_program(self, protocol=False):
        """The program as a user starts it here; with `protocol`, or where the desktop tells of a
        native Wayland window only through it (sees_wayland_windows), with libwayland's log of
        what it asks and gets (WAYLAND_DEBUG=1), which Program.protocol reads. The log slows
        the program down and widens Qt's frame callback race (qt_frame_callback_race), so only
        the roads that read it have it."""
        env = self.program_env()
        if self.platform:
            env["QT_QPA_PLATFORM"] = self.platform
        if self.expected_shell() == "wayland" and (protocol or not self.sees_wayland_windows):
            env["WAYLAND_DEBUG"] = "1"
        return Program(self, env)

    def windows(self, program):
        raise NotImplementedError

    def wait_window(self, program, title, timeout=10.0, fullscreen=None, on=None):
        deadline = time.monotonic() + timeout
        while True:
            for w in self.windows(program):
                if w.title == title and (fullscreen is None or w.fullscreen == fullscreen) \
                        and (not fullscreen or w.outputs) and (on is None or w.outputs == [on]):
                    return w
            if not program.running():
                raise SessionError(f"the program ended (status {program.proc.returncode}) "
                                   f"before a window {title!r} came")
            if time.monotonic() > deadline:
                raise SessionError(f"no window {title!r}"
                                   + (" full screen" if fullscreen else "")
                                   + f" within {timeout} s; on screen: {self.windows(program)}")
            time.sleep(0.05)

    def wait_gone(self, program, title, timeout=5.0):
        deadline = time.monotonic() + timeout
        while any(w.title == title for w in self.windows(program)):
            if time.monotonic() > deadline:
                raise SessionError(f"window {title!r} still on screen after {timeout} s")
            time.sleep(0.05)

    def stop(self):
        for proc in reversed(self.procs):
            end(proc)

    # Each desktop gives: click(x, y), keys([...]), close(program, win), kill_display(), and
    # where it can, move_pointer(x, y), add_output(), screenshot(path) and colours(points).
    def keys(self, names):
        raise NotImplementedError

    def current(self, program, win):
        now = [w for w in self.windows(program) if same_window(w, win)]
        return now[0] if now else None

    def keys_to(self, program, win, names, timeout=5.0):
        """Keys typed into a window once it has the keyboard, where the desktop tells."""
        deadline = time.monotonic() + timeout
        while True:
            now = self.current(program, win)
            if now is not None and now.focused is not False:
                break
            if time.monotonic() > deadline:
                raise SessionError(f"{win.title} did not get the keyboard within {timeout} s: "
                                   f"{now}")
            time.sleep(0.05)
        self.keys(names)

    def click_on(self, program, win, x, y):
        """A click at a point of the desktop on a window the tests know is there."""
        self.click(x, y)

    def screenshot(self, path):
        return False

    def colours(self, points):
        """The colours on screen at these points of the desktop, or None where the desktop's
        pixels cannot be read from outside (mutter)."""
        return None


def same_window(a, b):
    return a.title == b.title and a.rect == b.rect and a.size == b.size


class Sway(Desktop):
    # sway centres every new floating window on its output, X11 or Wayland.
    places_x11_windows = False
    can_add_output = True

    def __init__(self, ws, xwayland, platform=None, debug=()):
        self.name = "sway-xwayland" if xwayland else "sway-wayland"
        self.x_server = xwayland
        super().__init__(ws, platform)
        self.debug = list(debug)     # sway's own debug flags (-D), such as "damage=rerender"
        # sway 1.7 puts a window full screen on an output that is not the focused one, but draws
        # that output again only when something else happens there, such as the pointer coming
        # in: its damage tracking misses the window, which it shows on that output (it sends the
        # window's frame callbacks for it). A plain Qt program's full-screen windows are left
        # undrawn just so, also when they draw themselves again every 0.7 s
        # (bench/sway_outputs.py), and with its debug flag damage=rerender, which draws every
        # output whole on each frame instead of what its damage tracking says changed, sway shows
        # both programs' windows on every output at once.
        self.late_redraw = "damage=rerender" not in self.debug
        self.display = None
        self.wayland = None
        self.swaysock = None
        self.pointer = None
        self.x = None

    def expected_shell(self):
        # The program runs on Wayland under sway, XWayland or not.
        return super().expected_shell() if self.platform else "wayland"

    def start(self):
        config = os.path.join(self.home, "config")
        with open(config, "w") as f:
            f.write(f"xwayland {'enable' if self.x_server else 'disable'}\n"
                    "output HEADLESS-1 resolution 1280x1024 position 0 0\n"
                    "output HEADLESS-2 resolution 1280x1024 position 1280 0\n")
        os.chmod(config, 0o644)
        env = self.base_env()
        env.update(WLR_BACKENDS="headless", WLR_HEADLESS_OUTPUTS="2",
                   WLR_LIBINPUT_NO_DEVICES="1", WLR_RENDERER="pixman")
        argv = ["sway", "-c", config] + [a for flag in self.debug for a in ("-D", flag)]
        self.sway = self.popen(argv, env, stdout=self.log_file("sway.log"))
        self.procs.append(self.sway)
        deadline = time.monotonic() + 15
        while True:
            names = os.listdir(self.runtime)
            sock = [n for n in names if n.startswith("sway-ipc.") and n.endswith(".sock")]
            wl = [n for n in names if n.startswith("wayland-") and not n.endswith(".lock")]
            if sock and wl:
                self.swaysock = os.path.join(self.runtime, sock[0])
                self.wayland = wl[0]
                break
            if self.sway.poll() is not None:
                raise SessionError(f"sway ended at start: {self._log('sway.log')}")
            if time.monotonic() > deadline:
                raise SessionError("sway did not start within 15 s")
            time.sleep(0.05)
        while len(self._active_outputs()) < 2:
            if time.monotonic() > deadline:
                raise SessionError("sway has no two outputs")
            time.sleep(0.05)
        self.outputs = self._active_outputs()
        if self.x_server:
            # sway tells the programs it starts where its X server is.
            target = os.path.join(self.runtime, "display")
            self.swaymsg("exec", f"printf %s \"$DISPLAY\" > {target}")
            while not (os.path.exists(target) and open(target).read().strip()):
                if time.monotonic() > deadline:
                    raise SessionError("sway gave no DISPLAY")
                time.sleep(0.05)
            self.display = open(target).read().strip()
            # Its X server lets in only the account's own programs; the tests read the X11
            # side of the windows (where the program asked them to be) as root.
            if self.ws.account:
                env = self.base_env()
                env["DISPLAY"] = self.display
                code, out = self.run_as(["xhost", "+si:localuser:root"], env)
                if code != 0:
                    raise SessionError(f"xhost: {out.strip()}")
            self.x = AttachedSession(self.display)
            self.x.start()
        self.pointer = VirtualPointer(os.path.join(self.runtime, self.wayland),
                                      (sum(o.width for o in self.outputs),
                                       max(o.height for o in self.outputs)))
        return self

    def _log(self, name):
        with open(os.path.join(self.logs, name), errors="replace") as f:
            return f.read()[-2000:]

    def swaymsg(self, *args):
        out = subprocess.run(["swaymsg", "-s", self.swaysock, "--raw"] + list(args),
                             capture_output=True, text=True, timeout=10)
        if out.returncode != 0:
            raise SessionError(f"swaymsg {' '.join(args)}: {out.stdout}{out.stderr}")
        return json.loads(out.stdout) if out.stdout.strip() else None

    def _active_outputs(self):
        try:
            outs = self.swaymsg("-t", "get_outputs")
        except SessionError:
            return []
        return sorted((Output(o["name"], o["rect"]["x"], o["rect"]["y"], o["rect"]["width"],
                              o["rect"]["height"]) for o in outs or [] if o.get("active")),
                      key=lambda o: (o.x, o.y))

    def program_env(self):
        env = self.base_env()
        # What sway gives the programs it starts, as in a sway session.
        env.update(WAYLAND_DISPLAY=self.wayland, XDG_SESSION_TYPE="wayland",
                   XDG_CURRENT_DESKTOP="sway", SWAYSOCK=self.swaysock, I3SOCK=self.swaysock)
        if self.display:
            env["DISPLAY"] = self.display
        return env

    def tree(self):
        return self.swaymsg("-t", "get_tree")

    def windows(self, program):
        found = []

        def walk(node, output):
            if node.get("type") == "output":
                output = node["name"]
            if node.get("type") in ("con", "floating_con") and node.get("pid") == program.pid \
                    and output != "__i3":
                r, w = node["rect"], node["window_rect"]
                rect = (r["x"] + w["x"], r["y"] + w["y"], w["width"], w["height"])
                shell = "x11" if node.get("shell") == "xwayland" else "wayland"
                win = Win(node.get("name"), rect, rect[2:], node.get("fullscreen_mode") == 1,
                          [output], shell)
                win.focused = bool(node.get("focused"))
                win.con_id = node.get("id")
                found.append(win)
            for child in node.get("nodes", []) + node.get("floating_nodes", []):
                walk(child, output)

        walk(self.tree(), None)
        if self.x is not None and any(w.shell == "x11" for w in found):
            asked = {w.title: w.asked_position for w in self.x.program_windows(program.pid, [])}
            for w in found:
                w.asked_position = asked.get(w.title)
        if program.protocol is not None:
            # What the program asked for, beside what sway made of it.
            spoken = program.protocol.windows(self.outputs)
            for w in found:
                same = [t for t in spoken if t.title == w.title and t.outputs == w.outputs] \
                    or [t for t in spoken if t.title == w.title]
                if len(same) == 1:
                    w.asked_output = same[0].asked_output
                    w.unanswered = same[0].unanswered
        return found

    def move_pointer(self, x, y):
        self.pointer.move(x, y)

    def add_output(self, timeout=5.0):
        """Plugs in one more output (sway's headless backend makes it, right of the others)."""
        before = {o.name for o in self.outputs}
        self.swaymsg("create_output")
        deadline = time.monotonic() + timeout
        while len(self._active_outputs()) <= len(before):
            if time.monotonic() > deadline:
                raise SessionError("sway made no new output")
            time.sleep(0.05)
        self.outputs = self._active_outputs()
        self.pointer.width = max(o.x + o.width for o in self.outputs)
        self.pointer.height = max(o.y + o.height for o in self.outputs)
        return [o for o in self.outputs if o.name not in before][0]

    def click(self, x, y):
        self.pointer.move(x, y)
        time.sleep(0.03)
        self.pointer.button(True)
        time.sleep(0.03)
        self.pointer.button(False)
        time.sleep(0.05)

    def keys(self, names):
        # wtype plugs in a keyboard of its own for each call: the first key waits a moment so the
        # program has taken it up.
        argv = ["wtype", "-s", "150"]
        for name in names:
            if "+" in name:
                mod, key = name.split("+")
                argv += ["-M", mod, "-k", key, "-m", mod]
            else:
                argv += ["-k", name]
        env = self.base_env()
        env["WAYLAND_DISPLAY"] = self.wayland
        code, out = self.run_as(argv, env)
        if code != 0:
            raise SessionError(f"wtype: {out.strip()}")
        time.sleep(0.1)

    def close(self, program, win):
        self.swaymsg(f"[con_id={win.con_id}] kill")

    def screenshot(self, path):
        shot = os.path.join(self.runtime, "shot.png")
        env = self.base_env()
        env["WAYLAND_DISPLAY"] = self.wayland
        code, out = self.run_as(["grim", shot], env)
        if code != 0:
            raise SessionError(f"grim: {out.strip()}")
        shutil.copy(shot, path)
        return True

    def colours(self, points):
        shot = os.path.join(self.runtime, "shot.ppm")
        env = self.base_env()
        env["WAYLAND_DISPLAY"] = self.wayland
        code, out = self.run_as(["grim", "-t", "ppm", shot], env)
        if code != 0:
            raise SessionError(f"grim: {out.strip()}")
        with open(shot, "rb") as f:
            data = f.read()
        m = re.match(rb"P6\s+(\d+)\s+(\d+)\s+255\s", data)
        width = int(m.group(1))
        pixels = data[m.end():]
        return [tuple(pixels[(y * width + x) * 3:(y * width + x) * 3 + 3]) for x, y in points]

    def stop(self):
        if self.pointer:
            self.pointer.close()
        if self.x is not None:
            self.x.stop()
        super().stop()

    def kill_display(self):
        end(self.sway)


class Mutter(Desktop):
    # mutter tells nobody outside of the windows of a native Wayland program: the tests read them
    # from the program's protocol log.
    sees_wayland_windows = False

    def __init__(self, ws, xwayland, platform=None):
        self.name = "mutter-xwayland" if xwayland else "mutter-wayland"
        self.x_server = xwayland
        super().__init__(ws, platform)
        self.wayland = f"quill-{self.name}"
        self.display = None
        self.xauthority = None
        self.x_displays = []
        self.bus = None
        self.x = None           # our own connection to its X server
        self.input = None

    def start(self):
        env = self.base_env()
        # No key repeat: the keys the tests type go in through mutter's remote desktop, press and
        # release together, but a busy mutter has passed a Tab on with its release 514 ms after
        # its press, past the 500 ms after which programs repeat a held key themselves, and the
        # second Tab pressed another button. Its settings come from a key file of its own.
        config = os.path.join(self.home, "xdg-config")
        settings = os.path.join(config, "glib-2.0", "settings")
        os.makedirs(settings, exist_ok=True)
        for folder in (config, os.path.dirname(settings), settings):
            os.chmod(folder, 0o755)
        with open(os.path.join(settings, "keyfile"), "w") as f:
            f.write("[org/gnome/desktop/peripherals/keyboard]\nrepeat=false\n")
        os.chmod(os.path.join(settings, "keyfile"), 0o644)
        env.update(GSETTINGS_BACKEND="keyfile", XDG_CONFIG_HOME=config)
        bus_file = os.path.join(self.runtime, "bus")
        argv = ["mutter", "--headless", "--wayland", f"--wayland-display={self.wayland}",
                "--virtual-monitor", "1280x1024", "--virtual-monitor", "1280x1024"]
        if not self.x_server:
            argv.append("--no-x11")
        script = f'printf %s "$DBUS_SESSION_BUS_ADDRESS" > {bus_file}; exec "$@"'
        log = os.path.join(self.logs, "mutter.log")
        self.mutter = self.popen(["dbus-run-session", "--", "sh", "-c", script, "mutter"] + argv,
                                 env, stdout=open(log, "w"))
        self.procs.append(self.mutter)
        deadline = time.monotonic() + 30
        while True:
            text = open(log, errors="replace").read()
            ready = os.path.exists(os.path.join(self.runtime, self.wayland)) \
                and os.path.exists(bus_file) and open(bus_file).read().strip()
            if self.x_server:
                m = re.search(r"Using public X11 display (:\d+)", text)
                auth = [n for n in os.listdir(self.runtime) if n.startswith(".mutter-Xwaylandauth")]
                ready = ready and m and auth
            if ready:
                break
            if self.mutter.poll() is not None:
                raise SessionError(f"mutter ended at start: {text[-2000:]}")
            if time.monotonic() > deadline:
                raise SessionError(f"mutter did not start within 30 s: {text[-2000:]}")
            time.sleep(0.05)
        self.bus = open(bus_file).read().strip()
        public = re.search(r"Using public X11 display :(\d+), \(using :(\d+)", text)
        self.x_displays = [int(n) for n in public.groups()] if public else []
        self.outputs = [Output("Meta-0", 0, 0, *OUTPUT_SIZE),
                        Output("Meta-1", OUTPUT_SIZE[0], 0, *OUTPUT_SIZE)]
        if self.x_server:
            self.display = m.group(1)
            self.xauthority = os.path.join(self.runtime, auth[0])
            os.environ["XAUTHORITY"] = self.xauthority    # for our own X connection
            self.x = AttachedSession(self.display)
            self.x.start()
        helper = os.path.join(self.home, "remote_desktop.py")
        with open(helper, "w") as f:
            f.write(REMOTE_DESKTOP_HELPER)
        os.chmod(helper, 0o644)
        henv = self.base_env()
        henv["DBUS_SESSION_BUS_ADDRESS"] = self.bus
        self.input = self.popen(["/usr/bin/python3", helper], henv, stdin=subprocess.PIPE,
                                stdout=subprocess.PIPE, stderr=self.log_file("input.log"))
        self.procs.append(self.input)
        self._answer("ready", deadline)
        return self

    def _answer(self, word, deadline=None):
        deadline = deadline or time.monotonic() + 10
        fd = self.input.stdout
        while True:
            ready, _, _ = select.select([fd], [], [], max(0.0, deadline - time.monotonic()))
            if not ready:
                raise SessionError("mutter's remote desktop did not answer")
            line = fd.readline().decode().strip()
            if not line:
                raise SessionError("mutter's remote desktop session ended: "
                                   + open(os.path.join(self.logs, "input.log")).read()[-1500:])
            if line == word:
                return

    def _input(self, command):
        self.input.stdin.write((command + "\n").encode())
        self.input.stdin.flush()
        self._answer("done")

    def program_env(self):
        env = self.base_env()
        env.update(WAYLAND_DISPLAY=self.wayland, XDG_SESSION_TYPE="wayland",
                   XDG_CURRENT_DESKTOP="GNOME", DBUS_SESSION_BUS_ADDRESS=self.bus)
        if self.display:
            env.update(DISPLAY=self.display, XAUTHORITY=self.xauthority)
        return env

    def windows(self, program):
        if program.protocol is not None:
            return program.protocol.windows(self.outputs)
        if self.x is None:
            return []
        return self.x.program_windows(program.pid, self.outputs)

    def click(self, x, y):
        self._input(f"move {int(x)} {int(y)}")
        time.sleep(0.03)
        self._input(f"button {BTN_LEFT} 1")
        time.sleep(0.03)
        self._input(f"button {BTN_LEFT} 0")
        time.sleep(0.05)

    def keys(self, names):
        for name in names:
            self._input("keys " + " ".join(str(keysym(p)) for p in name.split("+")))
            time.sleep(0.05)
        time.sleep(0.1)

    def click_on(self, program, win, x, y, timeout=5.0):
        # mutter may report a window before it shows it; a click then would go past it. Wait
        # until the pointer, moved onto the point, is over the window.
        deadline = time.monotonic() + timeout
        nudge = 0
        while True:
            self._input(f"move {int(x) + nudge} {int(y)}")
            time.sleep(0.05)
            now = self.current(program, win)
            if now is not None and now.hovered is not False and \
                    (self.x is None or program.protocol is not None
                     or self.x.pointer_over(program.pid, win.title, x + nudge, y)):
                break
            if time.monotonic() > deadline:
                where = ""
                if self.x is not None:
                    pointer = self.x.root.query_pointer()
                    where = f" (the X pointer is at {pointer.root_x},{pointer.root_y})"
                raise SessionError(f"the pointer did not get onto {win.title} at {x},{y} within "
                                   f"{timeout} s{where}; the window is {now}")
            nudge = 1 - nudge
            time.sleep(0.1)
        self._input(f"button {BTN_LEFT} 1")
        time.sleep(0.03)
        self._input(f"button {BTN_LEFT} 0")
        time.sleep(0.05)

    def close(self, program, win):
        # A close request as a user makes it: the window manager's Alt+F4, on whichever of the
        # windows so named has the keyboard.
        deadline = time.monotonic() + 5
        while not any(w.title == win.title and w.focused is not False
                      for w in self.windows(program)):
            if time.monotonic() > deadline:
                raise SessionError(f"no window {win.title!r} has the keyboard")
            time.sleep(0.05)
        self.keys(["alt+F4"])

    def stop(self):
        if self.x is not None:
            self.x.stop()
        super().stop()
        # mutter ended by a signal leaves the lock files and sockets of its X displays behind,
        # once it has gone.
        for n in self.x_displays:
            lock = f"/tmp/.X{n}-lock"
            try:
                pid = int(open(lock).read().strip())
            except (OSError, ValueError):
                continue
            deadline = time.monotonic() + 3
            while time.monotonic() < deadline:
                try:
                    os.kill(pid, 0)
                except ProcessLookupError:
                    break
                time.sleep(0.05)
            else:
                continue                      # still someone's
            for path in (lock, f"/tmp/.X11-unix/X{n}"):
                try:
                    os.remove(path)
                except OSError:
                    pass

    def kill_display(self):
        end(self.mutter)


class AttachedSession(Session):
    """The session library on an X server someone else started (XWayland), with a window manager
    (the compositor) framing its windows."""

    def __init__(self, display):
        super().__init__(*OUTPUT_SIZE, wm=False)
        self.name = display

    def _start_xvfb(self):
        deadline = time.monotonic() + 10
        while True:
            try:
                from Xlib import display as xdisplay
                xdisplay.Display(self.name).close()
                return
            except Exception:
                if time.monotonic() > deadline:
                    raise SessionError(f"cannot open the X display {self.name}")
                time.sleep(0.1)

    def start(self):
        super().start()
        self.wm = True          # windows sit in the compositor's frames
        return self

    def program_windows(self, pid, outputs):
        return x_windows(self, pid, outputs)

    def pointer_over(self, pid, title, x, y):
        """The X server's pointer is at (x, y) over the window: on XWayland it moves only when
        the compositor hands the pointer to a window of the X server."""
        pointer = self.root.query_pointer()
        if (pointer.root_x, pointer.root_y) != (int(x), int(y)) or not pointer.child:
            return False
        try:
            return any(top_level(self, w) == pointer.child.id for w in self.find(pid, title))
        except xerror.BadWindow:
            return False


def top_level(session, window):
    """The child of the root that holds a window: its frame, or the window itself."""
    while True:
        tree = window.query_tree()
        if tree.parent.id == session.root.id:
            return window.id
        window = tree.parent


def x_monitors(session):
    """The X server's RandR monitors, left to right."""
    try:
        from Xlib.ext import randr
        reply = randr.get_monitors(session.root, True)
    except Exception:
        return []
    found = []
    for m in reply.monitors:
        name = session.d.get_atom_name(m.name)
        found.append(Output(name, m.x, m.y, m.width_in_pixels, m.height_in_pixels))
    return sorted(found, key=lambda o: (o.x, o.y))


def x_windows(session, pid, outputs):
    found = []
    focus = session.d.get_input_focus().focus
    focus = focus.id if hasattr(focus, "id") else focus
    for w in session.windows_of(pid):
        try:
            rect = session.client_geometry(w)
            states = session.states(w)
            hints = w.get_full_property(Xatom.WM_NORMAL_HINTS, Xatom.WM_SIZE_HINTS)
            focused = focus in (w.id, top_level(session, w))
            title = session.title(w)
        except (xerror.BadWindow, xerror.BadDrawable):
            continue    # gone while we looked (GetGeometry says BadDrawable)
        on = [o.name for o in outputs
              if rect[0] < o.x + o.width and o.x < rect[0] + rect[2]
              and rect[1] < o.y + o.height and o.y < rect[1] + rect[3]]
        asked = None
        # flags, then the place (x, y) when USPosition or PPosition is set
        if hints is not None and len(hints.value) >= 3 and hints.value[0] & (1 | 4):
            asked = tuple(int(v) if v < 2**31 else int(v) - 2**32 for v in hints.value[1:3])
        win = Win(title, rect, rect[2:], "_NET_WM_STATE_FULLSCREEN" in states, on, "x11",
                  asked_position=asked)
        win.focused = focused
        found.append(win)
    return found


class XvfbDesktop(Desktop):
    """An X11 window manager on Xvfb, with one monitor: a window manager knows only monitors that
    have an output, and Xvfb has one. (Its screen cut in two with xrandr --setmonitor, the
    program sees two monitors and the window manager one: xfwm4 puts both fake screens on that
    one; KWin, whose one screen is then the whole X screen, makes each of them cover both;
    mutter --x11 takes the two for one wide monitor.)"""

    x_server = True
    wm_name = b""            # what the window manager calls itself (_NET_WM_NAME)
    session_env = {}         # what its session tells programs about itself

    def __init__(self, ws, platform=None):
        super().__init__(ws, platform)
        self.x = None

    def start(self):
        self.x = Session(*OUTPUT_SIZE, wm=False)
        self.x.start()
        self.outputs = x_monitors(self.x)
        self.wm = self.start_wm(self.x.env())
        self.procs.append(self.wm)
        self.x.wm = True
        deadline = time.monotonic() + 20
        check = self.x.atom("_NET_SUPPORTING_WM_CHECK")
        while True:
            prop = self.x.root.get_full_property(check, Xatom.WINDOW)
            if prop and prop.value:
                wm = self.x.d.create_resource_object("window", prop.value[0])
                try:
                    name = wm.get_full_property(self.x.atom("_NET_WM_NAME"),
                                                self.x.atom("UTF8_STRING"))
                except Exception:
                    name = None
                if name and self.wm_name in bytes(name.value):
                    break
            if self.wm.poll() is not None:
                raise SessionError(f"{self.name} ended at start")
            if time.monotonic() > deadline:
                raise SessionError(f"{self.name} did not take over the screen")
            time.sleep(0.05)
        self.ready()
        return self

    def start_wm(self, env):
        """Starts the window manager on the display that `env` names; returns its process."""
        raise NotImplementedError

    def ready(self):
        """Waits, once the window manager has named itself, until it manages windows."""

    def program_env(self):
        env = self.base_env()
        env.update(DISPLAY=self.x.name, XDG_SESSION_TYPE="x11", **self.session_env)
        return env

    def windows(self, program):
        return x_windows(self.x, program.pid, self.outputs)

    def click(self, x, y):
        self.x.click_root(x, y)

    def keys(self, names):
        for name in names:
            self.x.key(name)

    def close(self, program, win):
        for w in self.x.find(program.pid, win.title):
            try:
                here = self.x.client_geometry(w)
            except (xerror.BadWindow, xerror.BadDrawable):
                continue
            if here == win.rect:
                self.x.request_close(w)

    def screenshot(self, path):
        self.x.save_png(path)
        return True

    def colours(self, points):
        return [self.x.pixel(x, y) for x, y in points]

    def stop(self):
        super().stop()
        if self.x is not None:
            self.x.stop()

    def kill_display(self):
        end(self.x.xvfb)


class Xfwm4(XvfbDesktop):
    """Xfce's window manager."""

    name = "xfwm4"
    wm_name = b"Xfwm4"
    session_env = {"XDG_CURRENT_DESKTOP": "XFCE"}

    def start_wm(self, env):
        wm_env = dict(env, HOME=self.home, XDG_RUNTIME_DIR=self.runtime)
        return subprocess.Popen(["dbus-run-session", "--", "xfwm4", "--compositor=off"],
                                env=wm_env, stdout=self.log_file("xfwm4.log"),
                                stderr=subprocess.STDOUT, start_new_session=True)

    def ready(self):
        # Its workspace and panel settings come from xfconf over D-Bus; give it a moment to
        # settle its own windows before programs map theirs.
        time.sleep(0.3)


class KWin(XvfbDesktop):
    """KDE Plasma's window manager, kwin_x11, in a session of its own: its own D-Bus session bus
    (it asks for kglobalaccel there, and programs of a Plasma session have one), as the account,
    without compositing (KWIN_COMPOSE=N): on Xvfb it would composite with Mesa's software
    renderer, work for the shared cores that the roads do not need (they pass with it too)."""

    name = "kwin"
    wm_name = b"KWin"

    def __init__(self, ws, platform=None):
        super().__init__(ws, platform)
        self.bus = None

    def start_wm(self, env):
        wm_env = self.base_env()
        wm_env.update(DISPLAY=env["DISPLAY"], QT_QPA_PLATFORM="xcb", KWIN_COMPOSE="N")
        self.bus_file = os.path.join(self.runtime, "bus")
        script = f'printf %s "$DBUS_SESSION_BUS_ADDRESS" > {self.bus_file}; exec "$@"'
        return self.popen(["dbus-run-session", "--", "sh", "-c", script, "kwin",
                           "kwin_x11", "--replace"], wm_env, stdout=self.log_file("kwin.log"))

    def ready(self):
        deadline = time.monotonic() + 10
        while not (os.path.exists(self.bus_file) and open(self.bus_file).read().strip()):
            if time.monotonic() > deadline:
                raise SessionError("kwin's session bus did not start")
            time.sleep(0.05)
        self.bus = open(self.bus_file).read().strip()
        self.x.frame_depth = 3      # its frame holds a wrapper window, which holds the client
        # KWin names itself before it manages windows.
        self.x.wait_managing()

    def click_on(self, program, win, x, y):
        # KWin maps a window and moves it to its place a moment later (seen: the setup dialog
        # mapped at 0,0, at its place 10 ms on). A click aimed where the window was seen lands
        # on it only if it stays there: the window must be where it was seen, and still there
        # a moment later, or the roads aimed before it settled.
        for _ in range(2):
            if self.current(program, win) is None:
                raise SessionError(f"{win.title} is no longer at {win.rect}: it moved, or "
                                   f"went, since it was seen; on screen: "
                                   f"{self.windows(program)}")
            time.sleep(0.1)
        self.click(x, y)

    def program_env(self):
        env = super().program_env()
        # What a Plasma session tells its programs (Qt picks its KDE theme by them).
        env.update(XDG_CURRENT_DESKTOP="KDE", XDG_SESSION_DESKTOP="KDE", KDE_FULL_SESSION="true",
                   KDE_SESSION_VERSION="5", DBUS_SESSION_BUS_ADDRESS=self.bus)
        return env
