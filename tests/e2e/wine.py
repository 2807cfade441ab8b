# SPDX-License-Identifier: MIT
"""The Windows program under Wine, as a target of the end-to-end cases.

A run boots one Wine prefix (or is given one booted already, see tests/wine/prefix.sh); each lane
of cases that runs at the same time as others works in a copy of it, since one wineserver takes
its monitors from the first X display it meets. After every case the lane's wineserver is ended,
so that the next case's session is the only display Wine knows.
"""

import os
import re
import shutil
import subprocess
import tempfile

WINE_CANDIDATES = ("wine64", "/usr/lib/wine/wine64", "wine")
WINESERVER_CANDIDATES = ("wineserver", "/usr/lib/wine/wineserver")


class WineError(Exception):
    pass


def _find(candidates):
    for c in candidates:
        path = shutil.which(c) if not os.path.isabs(c) else (c if os.access(c, os.X_OK) else None)
        if path:
            return path
    return None


def booted(prefix):
    return os.path.isfile(os.path.join(prefix, "system.reg")) and \
        os.path.isdir(os.path.join(prefix, "drive_c", "windows", "system32"))


# What every Wine run gets: no Mono or Gecko install dialogs, no debug chatter.
WINE_ENV = {"WINEARCH": "win64", "WINEDEBUG": "-all", "WINEDLLOVERRIDES": "mscoree,mshtml="}


# Fonts for the scripts Wine's own fonts lack, linked in the test prefix as Windows links its dialog
# fonts to a font of every script: a fresh prefix draws Japanese, Korean, Chinese, Arabic and Hebrew
# as missing-glyph boxes (fonts-noto-cjk and fonts-dejavu-core have them). Wine draws the program's
# "Microsoft Sans Serif" with Liberation Sans (fonts-liberation), and finds a face's links by its
# full name: the bold face's under "Liberation Sans Bold". (Without a link, in the language's own
# locale, Wine picks a face of that script for it instead.) A case links its own language's fonts.
SYSTEM_LINK = r"HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink"
FACE = "Liberation Sans"


def _linked(regular, bold, face):
    return {FACE: f"{regular},{face}", f"{FACE} Bold": f"{bold},{face}"}


FONT_LINKS = {
    "ja": _linked("NotoSansCJK-Regular.ttc", "NotoSansCJK-Bold.ttc", "Noto Sans CJK JP"),
    "ko": _linked("NotoSansCJK-Regular.ttc", "NotoSansCJK-Bold.ttc", "Noto Sans CJK KR"),
    "zh_CN": _linked("NotoSansCJK-Regular.ttc", "NotoSansCJK-Bold.ttc", "Noto Sans CJK SC"),
    "zh_TW": _linked("NotoSansCJK-Regular.ttc", "NotoSansCJK-Bold.ttc", "Noto Sans CJK TC"),
    # Wine 8's right-to-left drawing takes no glyph of a linked font for Hebrew, and one for
    # Arabic only letter by letter, reversed and unjoined: for these the face the program asks
    # for is DejaVu Sans itself, which has both scripts as Windows' own Microsoft Sans Serif has.
    "ar": {"Microsoft Sans Serif": "DejaVuSans.ttf,DejaVu Sans"},
    "he": {"Microsoft Sans Serif": "DejaVuSans.ttf,DejaVu Sans"},
}


def linked_language(env):
    """The language of FONT_LINKS a program started with `env` speaks under Wine (from LANG),
    or None."""
    lang = (env or {}).get("LANG", "").split(".")[0]
    for code in (lang, lang.split("_")[0]):
        if code in FONT_LINKS:
            return code
    return None


def base_env(prefix):
    """This environment for a run in `prefix` with no display."""
    env = {k: v for k, v in os.environ.items() if k not in ("WINEPREFIX", "DISPLAY")}
    env.update(WINE_ENV, WINEPREFIX=prefix)
    return env


def boot(prefix):
    """Boots a fresh prefix (about 7 s)."""
    wine, wineserver = _find(WINE_CANDIDATES), _find(WINESERVER_CANDIDATES)
    if not wine or not wineserver:
        raise WineError("wine64 or wineserver not found (apt-get install wine64)")
    env = base_env(prefix)
    subprocess.run([wine, "wineboot", "--init"], env=env, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)
    subprocess.run([wineserver, "-w"], env=env)
    if not booted(prefix):
        raise WineError(f"wineboot left no prefix in {prefix}")


def end(prefix):
    """Ends every Wine process of `prefix` and waits until they are gone."""
    wineserver = _find(WINESERVER_CANDIDATES)
    env = base_env(prefix)
    for option in ("-k", "-w"):
        subprocess.run([wineserver, option], env=env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)


def remove_prefix(prefix):
    end(prefix)
    shutil.rmtree(prefix, ignore_errors=True)


class WineTarget:
    """Quillendor.exe in a prefix of this lane's own, copied from a booted one."""

    def __init__(self, exe, master):
        self.exe = os.path.abspath(exe)
        self.wine = _find(WINE_CANDIDATES)
        self.wineserver = _find(WINESERVER_CANDIDATES)
        if not self.wine or not self.wineserver:
            raise WineError("wine64 or wineserver not found (apt-get install wine64)")
        if not booted(master):
            raise WineError(f"no booted Wine prefix in {master}")
        self.tmp = tempfile.mkdtemp(prefix="quill-e2e-wine-")
        self.prefix = os.path.join(self.tmp, "prefix")
        try:
            subprocess.run(["cp", "-a", master, self.prefix], check=True)
            # Monitors from Xinerama: Xephyr's screens are monitors to Wine that way, where
            # RandR gives it one (see Session's nested screens).
            self.run_tool(["reg", "add", r"HKCU\Software\Wine\X11 Driver", "/v", "UseXRandR",
                           "/d", "N", "/f"])
            self.settings = {"dpi": 96, "xrandr": False, "link": None}
            # The desktop colour the program is to paint its fake screens in: the system's.
            out = self.run_tool(["reg", "query", r"HKCU\Control Panel\Colors", "/v",
                                 "Background"])
            self.desktop = parse_colour(out)
        except BaseException:
            self.close()
            raise
        self.end_case()

    def env(self, session_env, extra=None):
        """What the program is started with: the session's display and the case's locale."""
        env = dict(session_env)
        env.update(WINE_ENV, WINEPREFIX=self.prefix)
        env.update(extra or {})
        return env

    def argv(self, seams=None):
        """The program, or with `seams` (a list of options) its test build beside it."""
        if seams is None:
            return [self.wine, self.exe]
        return [self.wine, os.path.join(os.path.dirname(self.exe), "Quillendor-seams.exe")] + seams

    def run_tool(self, args):
        r = subprocess.run([self.wine] + args, env=base_env(self.prefix), capture_output=True, text=True,
                           errors="replace", timeout=60)
        if r.returncode != 0:
            raise WineError(f"wine {' '.join(args)} failed ({r.returncode}): {r.stdout}{r.stderr}")
        return r.stdout.replace("\r", "")

    def left_over(self):
        """The program's processes still running in this lane's prefix."""
        name = os.path.basename(self.exe).lower()
        found = []
        for pid in os.listdir("/proc"):
            if not pid.isdigit():
                continue
            try:
                with open(f"/proc/{pid}/cmdline", "rb") as f:
                    cmdline = f.read().replace(b"\0", b" ").decode("utf-8", "replace")
                if name not in cmdline.lower():
                    continue
                with open(f"/proc/{pid}/environ", "rb") as f:
                    environ = f.read().split(b"\0")
            except OSError:
                continue
            if f"WINEPREFIX={self.prefix}".encode() in environ:
                found.append((int(pid), cmdline.strip()))
        return found

    def trace_calls_of(self, program):
        """From now on Wine's relay log (WINEDEBUG=RELAY_DEBUG) holds only the calls that
        `program` (a file name) makes itself: those that Wine's own modules make inside its
        process stay out. Runs with WINEDEBUG=-all log nothing either way."""
        self.run_tool(["reg", "add", DEBUG_KEY, "/v", "RelayFromInclude", "/d", program, "/f"])
        # Wine's own list of callers to leave out would win over the list of those to trace.
        subprocess.run([self.wine, "reg", "delete", DEBUG_KEY, "/v", "RelayFromExclude", "/f"],
                       env=base_env(self.prefix), capture_output=True, timeout=60)
        self.end_case()

    def traced_tool(self, args):
        """The relay log of one of Wine's own programs, traced as trace_calls_of traces."""
        self.trace_calls_of(args[0] + ".exe")
        env = base_env(self.prefix)
        env["WINEDEBUG"] = RELAY_DEBUG
        r = subprocess.run([self.wine] + args, env=env, capture_output=True, text=True,
                           errors="replace", timeout=60)
        self.end_case()
        return r.stdout + r.stderr

    def link_fonts(self, language):
        """The fonts FONT_LINKS gives `language` linked from now on (a program started later
        draws with them), and no others; None links none."""
        reg = os.path.join(self.tmp, "links.reg")
        with open(reg, "w", encoding="utf-16") as f:
            f.write("Windows Registry Editor Version 5.00\n\n"
                    f"[-{SYSTEM_LINK}]\n\n[{SYSTEM_LINK}]\n")
            for face, font in FONT_LINKS.get(language, {}).items():
                data = (font + "\0\0").encode("utf-16-le").hex(",")
                f.write(f'"{face}"=hex(7):{data}\n')
        self.run_tool(["reg", "import", "Z:" + reg.replace("/", "\\")])
        self.settings["link"] = language

    def prepare(self, dpi=None, xrandr=False, link=None):
        """The prefix as the next case wants it, while no Wine process runs: the DPI every
        monitor has (Wine has one for all, LogPixels), whether Wine takes its monitors from
        RandR, where the one Xvfb output's changes show, rather than from Xinerama, and the
        fonts linked for a language (link_fonts). What a case changed is put back for the next
        one that does not ask for it."""
        if link != self.settings["link"]:
            self.link_fonts(link)
            self.end_case()
        wanted = {"dpi": dpi or 96, "xrandr": xrandr, "link": link}
        if wanted == self.settings:
            return
        reg = os.path.join(self.tmp, "settings.reg")
        with open(reg, "w", encoding="utf-8") as f:
            f.write("REGEDIT4\n\n"
                    "[HKEY_CURRENT_USER\\Control Panel\\Desktop]\n"
                    f"\"LogPixels\"=dword:{wanted['dpi']:08x}\n\n"
                    "[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\n"
                    f"\"UseXRandR\"=\"{'Y' if xrandr else 'N'}\"\n")
        self.run_tool(["reg", "import", "Z:" + reg.replace("/", "\\")])
        self.end_case()   # the registry is written out as the wineserver ends
        self.settings = wanted

    def end_case(self):
        """Ends every Wine process of the lane: the next case starts on a display of its own."""
        end(self.prefix)

    def close(self):
        self.end_case()
        shutil.rmtree(self.tmp, ignore_errors=True)


def parse_colour(reg_output):
    """ "    Background    REG_SZ    37 111 149" -> (37, 111, 149)."""
    for line in reg_output.splitlines():
        parts = line.split()
        if len(parts) >= 5 and parts[0] == "Background":
            return tuple(int(v) for v in parts[-3:])
    raise WineError(f"no desktop colour in {reg_output!r}")


# --- what the program asks of Windows, from Wine's relay log ------------------------------------

DEBUG_KEY = r"HKCU\Software\Wine\Debug"
# The relay log with the process of each line and the modules loaded: "0020:0024:Call ...".
RELAY_DEBUG = "+pid,+relay,+loaddll"

_CALL = re.compile(r"^([0-9a-f]{4,8}):[0-9a-f]{4,8}:Call ([A-Za-z0-9_.]+)\.([A-Za-z0-9_]+)\((.*)\)"
                   r"(?: ret=[0-9a-f]+)?$")
_RETURN = re.compile(r"^([0-9a-f]{4,8}):[0-9a-f]{4,8}:Ret  ([A-Za-z0-9_.]+)\.([A-Za-z0-9_]+)\(.*\)"
                     r" retval=([0-9a-f]+)")
_LOADED = re.compile(r'^([0-9a-f]{4,8}):[0-9a-f]{4,8}:trace:loaddll:\w+ Loaded L"([^"]*)"')
# Calls that change the registry, write files, reach a network, watch the keyboard or mouse,
# make up input, play tricks with the foreground, hide the pointer, start programs or end the
# session.
_FORBIDDEN = re.compile(
    r"^(Reg(Create|Set|Delete|Save|Replace|Restore|Load|Copy|Rename|Flush)\w*"
    r"|Nt(CreateKey|SetValueKey|DeleteKey|DeleteValueKey|SaveKey|RenameKey)\w*"
    r"|SH(Set|Delete|RegSet|RegWrite|RegDelete|RegCreate)\w*"
    r"|Write(Private)?Profile\w*|WriteFile\w*|CreateDirectory\w*|RemoveDirectory\w*"
    r"|DeleteFile\w*|MoveFile\w*|CopyFile\w*|ReplaceFile\w*|SetFileAttributes\w*|SetEndOfFile"
    r"|_?w?fopen\w*|_?w?open|_?w?creat|_?w?freopen\w*|_w?sopen\w*"
    r"|SetWindowsHook\w*|RegisterRawInputDevices|ClipCursor|BlockInput"
    r"|SendInput|keybd_event|mouse_event|AttachThreadInput|LockSetForegroundWindow"
    r"|AllowSetForegroundWindow"
    r"|CreateProcess\w*|ShellExecute\w*|WinExec|ExitWindows\w*|Initiate\w*Shutdown\w*"
    r"|LockWorkStation|SetSuspendState)$")
_NETWORK_MODULES = {"ws2_32", "wsock32", "winhttp", "wininet", "urlmon", "iphlpapi", "dnsapi",
                    "mswsock", "netapi32"}
# CreateFile's desired access and creation disposition (its second and fifth arguments): the
# access bits that write, and the dispositions other than OPEN_EXISTING.
_WRITE_ACCESS = 0x40000000 | 0x10000000 | 0x02000000 | 0x2 | 0x4 | 0x10000 | 0x40000 | 0x80000
_OPEN_EXISTING = 3


def _arguments(text):
    """The arguments of a relay line, strings (L"...") kept whole."""
    args, current, quoted, escaped = [], "", False, False
    for ch in text:
        if quoted:
            current += ch
            if escaped:
                escaped = False
            elif ch == "\\":
                escaped = True
            elif ch == '"':
                quoted = False
        elif ch == '"':
            quoted = True
            current += ch
        elif ch == ",":
            args.append(current.strip())
            current = ""
        else:
            current += ch
    args.append(current.strip())
    return args


def number(arg):
    try:
        return int(arg.split()[0], 16)
    except (ValueError, IndexError):
        return None


_NAMED = re.compile(r'^([0-9a-f]{4,8}):[0-9a-f]{4,8}:fixme:oleacc:AccPropServices_SetHwndPropStr '
                    r'\(.* L"(.*)"\)$')


def relay_story(log, program):
    """What the process that loaded `program` did, in order: its calls ("call", module,
    function, arguments) and what they returned ("return", module, function, value), and the
    names and descriptions it gave windows through oleacc's property service ("named", the text
    given), which Wine 8 notes as it takes them."""
    pids = {m.group(1) for m in map(_LOADED.match, log.splitlines())
            if m and m.group(2).lower().endswith("\\" + program.lower())}
    story = []
    for line in log.splitlines():
        call, named, ret = _CALL.match(line), _NAMED.match(line), _RETURN.match(line)
        if call and call.group(1) in pids:
            story.append(("call", call.group(2).lower(), call.group(3),
                          _arguments(call.group(4))))
        elif ret and ret.group(1) in pids:
            story.append(("return", ret.group(2).lower(), ret.group(3), int(ret.group(4), 16)))
        elif named and named.group(1) in pids:
            story.append(("named", named.group(2)))
    return story


def relay_calls(log, program):
    """The calls of the process that loaded `program` (a file name), as (module, function,
    arguments)."""
    return [event[1:] for event in relay_story(log, program) if event[0] == "call"]


def standard_handles(story):
    """The handles GetStdHandle gave the program: the standard input, output and error it was
    started with, which it may write to."""
    return {value for event in story if event[0] == "return" and event[2] == "GetStdHandle"
            for value in [event[3]] if value not in (0, 0xFFFFFFFF, 0xFFFFFFFFFFFFFFFF)}


def forbidden_calls(calls, writable=()):
    """The calls among `calls` that break the program's promises, as readable lines; writing
    to the handles of `writable` (the standard ones) is allowed."""
    found = []
    for module, function, args in calls:
        why = None
        if module in _NETWORK_MODULES:
            why = "network"
        elif function in ("WriteFile", "WriteConsoleW") and args and number(args[0]) in writable:
            pass
        elif _FORBIDDEN.match(function):
            why = "forbidden"
        elif function in ("CreateFileW", "CreateFileA", "CreateFile2", "NtCreateFile"):
            access = number(args[1]) if len(args) > 1 else None
            disposition = number(args[4]) if len(args) > 4 and function != "CreateFile2" else None
            if access is None or access & _WRITE_ACCESS or \
                    (disposition is not None and disposition != _OPEN_EXISTING):
                why = "opens a file for writing"
        elif function == "ShowCursor" and args and number(args[0]) == 0:
            why = "hides the pointer"
        if why:
            found.append(f"{module}.{function}({', '.join(args)}): {why}")
    return found
