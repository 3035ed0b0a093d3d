#!/usr/bin/python3
"""What a screen reader hears of Velmora, read through AT-SPI as a screen reader reads it.

    tools/check-accessibility.py [--program build/bin/velmora] [--display :N] [--quiet]

Starts the built program on an X server of its own (Xvfb), in a D-Bus session of its own with
the accessibility bus and registry, with settings, cache and temporary folders of its own. Then,
through pyatspi only (no X input): types a message into the editor's "Message" field, presses
"Start Creating Template", waits for the preview, and reads what an assistive technology gets:
the page's name and text, the names of the preview's buttons and of the editor's tabs, and which
objects of the hidden editor still say they have the focus. Prints what it read and exits 1 when
something a user needs is missing (0 when all holds, 2 when it could not run the program).
"""

import argparse
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import uuid

MESSAGE = "Please check page text 4711 before it goes"
TABS = ["Casual", "Contemporary", "Professional", "Standard"]
PROGRAM_MARK = "VELMORA_ACCESSIBILITY_PROGRAM"  # carried by the program and what it starts
BUS_MARK = "VELMORA_ACCESSIBILITY_BUS"  # carried by the session's bus and what it starts


def poll(what, probe, bound):
    """probe() until it returns something true, for at most `bound` seconds."""
    deadline = time.monotonic() + bound
    while True:
        value = probe()
        if value:
            return value
        if time.monotonic() > deadline:
            raise TimeoutError(f"no {what} within {bound} s")
        time.sleep(0.05)


class Session:
    """Xvfb, the session's bus, the folders and the program, ended (and only what was started
    here) on exit."""

    def __init__(self, display):
        self.folder = tempfile.mkdtemp(prefix="velmora-a11y-")
        for sub in ("home", "config", "cache", "runtime", "temp", "tmp"):
            os.makedirs(os.path.join(self.folder, sub), mode=0o700)
        self.started = []
        self.program = self.bus = self.mark = self.bus_mark = None
        try:
            self.xvfb = self.start_x(display)
            env = dict(os.environ)
            for name in ("QT_QPA_PLATFORM", "SESSION_MANAGER", "XAUTHORITY", "WAYLAND_DISPLAY",
                         "DBUS_SESSION_BUS_ADDRESS", "DBUS_STARTER_ADDRESS",
                         "DBUS_STARTER_BUS_TYPE", "AT_SPI_BUS_ADDRESS"):
                env.pop(name, None)
            env.update({
                "DISPLAY": self.display,
                "HOME": self.path("home"),
                "XDG_CONFIG_HOME": self.path("config"),
                "XDG_CACHE_HOME": self.path("cache"),
                "XDG_RUNTIME_DIR": self.path("runtime"),
                "TEMP": self.path("temp"),
                "TMPDIR": self.path("tmp"),
            })
            env["DBUS_SESSION_BUS_ADDRESS"] = self.start_bus(env)
        except BaseException:
            self.close()
            raise
        self.env = env
        # pyatspi finds the accessibility bus through the display and the session bus; this
        # process is its client.
        os.environ.update({k: env[k] for k in ("DISPLAY", "XDG_RUNTIME_DIR",
                                               "DBUS_SESSION_BUS_ADDRESS")})
        os.environ.pop("AT_SPI_BUS_ADDRESS", None)

    def start(self, program):
        """Starts the program in the session."""
        env = dict(self.env)
        env.update({
            "QT_QPA_PLATFORM": "xcb",
            "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1",
            "QT_ACCESSIBILITY": "1",
            PROGRAM_MARK: uuid.uuid4().hex,
        })
        self.mark = f"{PROGRAM_MARK}={env[PROGRAM_MARK]}".encode()
        self.program = subprocess.Popen([program], env=env, stdin=subprocess.DEVNULL,
                                        stderr=open(self.path("stderr.txt"), "wb"))
        self.started.append(self.program)

    def start_bus(self, env):
        """A D-Bus session bus of the session's own, as a desktop has one, with the session's
        display and folders: the accessibility bus and registry it starts for pyatspi and the
        program live there, not in the user's own. Its process group (a session of its own) and
        its mark hold what it starts, ended with it. Returns its address."""
        bus_id = uuid.uuid4().hex
        self.bus_mark = f"{BUS_MARK}={bus_id}".encode()
        read, write = os.pipe()
        self.bus = subprocess.Popen(
            ["dbus-daemon", "--session", "--nofork", "--nopidfile", f"--print-address={write}",
             "--address=unix:path=" + self.path("runtime/bus")],
            env=dict(env, **{BUS_MARK: bus_id}),
            pass_fds=(write,), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
            start_new_session=True)
        os.close(write)
        with os.fdopen(read, "rb") as pipe:
            address = pipe.readline().decode().strip()
        if not address:
            raise RuntimeError("dbus-daemon did not start")
        return address

    def path(self, sub):
        return os.path.join(self.folder, sub)

    def start_x(self, display):
        read, write = os.pipe()
        # -noreset: by default the server resets when its last client leaves (the accessibility
        # bus launcher, which only sets the bus's address on the root window), and drops a client
        # that is connecting at that moment (the program).
        args = ["Xvfb"] + ([display] if display else []) + [
            "-screen", "0", "1280x1024x24", "-nolisten", "tcp", "-noreset", "-displayfd",
            str(write)]
        xvfb = subprocess.Popen(args, pass_fds=(write,), stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)
        os.close(write)
        self.started.append(xvfb)
        number = b""
        with os.fdopen(read, "rb") as pipe:
            while not number.endswith(b"\n"):
                chunk = pipe.read(1)
                if not chunk:
                    raise RuntimeError("Xvfb did not start")
                number += chunk
        self.display = ":" + number.decode().strip()
        return xvfb

    def focus_window(self, title):
        """Gives the program's one visible window the input focus (xdotool)."""
        env = dict(os.environ, DISPLAY=self.display)
        found = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid",
                                str(self.program.pid), "--name", title],
                               env=env, capture_output=True, text=True).stdout.split()
        if len(found) != 1:
            raise RuntimeError(f"{len(found)} visible windows where one was expected")
        subprocess.run(["xdotool", "windowfocus", "--sync", found[0]], env=env, check=True)

    def close(self):
        if self.program is not None and self.program.poll() is None:
            self.program.send_signal(signal.SIGTERM)
            try:
                self.program.wait(30)
            except subprocess.TimeoutExpired:
                self.program.kill()
        if self.bus is not None:
            try:
                os.killpg(self.bus.pid, signal.SIGKILL)  # the bus and the services it started
            except ProcessLookupError:
                pass
            self.bus.wait()
        for process in reversed(self.started):
            if process.poll() is None:
                process.kill()
                process.wait()
        # The offices the program started, should any have outlived it, and whatever of the
        # bus's left its group.
        for mark in (self.mark, self.bus_mark):
            if mark:
                end_marked(mark)
        shutil.rmtree(self.folder, ignore_errors=True)


def end_marked(mark):
    """Kills the processes whose environment holds `mark` (b"NAME=value")."""
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open(f"/proc/{pid}/environ", "rb") as environ:
                if mark in environ.read().split(b"\0"):
                    os.kill(int(pid), signal.SIGKILL)
        except (OSError, ValueError):
            pass


def walk(node):
    if node is None:
        return
    yield node
    for i in range(node.childCount):
        yield from walk(node.getChildAtIndex(i))


def find(root, role=None, name=None, test=None):
    for node in walk(root):
        try:
            if role is not None and node.getRole() != role:
                continue
            if name is not None and node.name != name:
                continue
            if test is not None and not test(node):
                continue
            return node
        except Exception:  # an object gone while it was read
            continue
    return None


def describe(node):
    return f"{node.getRoleName()} {node.name!r}" if node is not None else "(none)"


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    here = os.path.dirname(os.path.abspath(__file__))
    parser.add_argument("--program", default=os.path.join(here, "..", "build", "bin", "velmora"))
    parser.add_argument("--display", help="the X display to use (a free one when not given)")
    parser.add_argument("--quiet", action="store_true", help="print only what fails")
    args = parser.parse_args()

    session = Session(args.display)
    try:
        import pyatspi  # after the session is there: it connects to its accessibility bus
        session.start(os.path.abspath(args.program))
    except BaseException:
        session.close()
        raise
    failures = []
    report = []

    def check(holds, what, got):
        report.append(f"{'ok  ' if holds else 'FAIL'} {what}: {got}")
        if not holds:
            failures.append(what)

    try:
        desktop = pyatspi.Registry.getDesktop(0)

        def app():
            for i in range(desktop.childCount):
                candidate = desktop.getChildAtIndex(i)
                if candidate is not None and candidate.get_process_id() == session.program.pid:
                    return candidate
            return None

        def running(probe):
            def probed():
                if session.program.poll() is not None:
                    raise RuntimeError(f"the program ended ({session.program.returncode})")
                return probe()
            return probed

        velmora = poll("program on the accessibility bus", running(app), 60)
        def window_with(button):
            for i in range(velmora.childCount):
                top = velmora.getChildAtIndex(i)
                if top is not None and top.getState().contains(pyatspi.STATE_SHOWING) and \
                        find(top, pyatspi.ROLE_PUSH_BUTTON, test=button):
                    return top
            return None

        editor = poll("editor window", running(
            lambda: window_with(lambda b: b.name == "Start Creating Template")), 60)
        message = poll("Message field", running(lambda: find(
            editor, pyatspi.ROLE_TEXT, "Message")), 30)
        message.queryEditableText().setTextContents(MESSAGE)
        tabs = find(editor, pyatspi.ROLE_PAGE_TAB_LIST)
        holder = tabs.parent if tabs is not None else None
        check(tabs is not None and tabs.name not in TABS + [""] and bool(holder.name),
              "the editor's tab strip is named (not after its current tab)",
              f"{describe(tabs)} in {describe(holder)}")
        names = [find(tabs, pyatspi.ROLE_PAGE_TAB, t) is not None for t in TABS] if tabs else []
        tab_names = [n.name for n in walk(tabs) if n.getRole() == pyatspi.ROLE_PAGE_TAB] \
            if tabs else []
        check(all(names) and len(names) == len(TABS), "each style tab is named",
              ", ".join(repr(n) for n in tab_names))
        # The input focus, as a window manager gives it to the window the user works in.
        session.focus_window("Velmora")
        message.queryComponent().grabFocus()
        poll("focus in the Message field", running(
            lambda: message.getState().contains(pyatspi.STATE_FOCUSED)), 10)
        focused = [n for n in walk(editor) if n.getState().contains(pyatspi.STATE_FOCUSED)]
        # The field's own parts (its viewport, whose focus is the field's) may say so too.
        check(bool(focused) and all(n == message or n.parent == message for n in focused),
              "only the Message field says it has the focus",
              ", ".join(describe(n) for n in focused))
        # The strip takes the focus (as from the keyboard before Ctrl+Enter starts the run):
        # its current tab says so now, and the field no longer.
        tabs.queryComponent().grabFocus()
        current = find(tabs, pyatspi.ROLE_PAGE_TAB, TABS[0])
        poll("focus on the tab strip", running(
            lambda: not message.getState().contains(pyatspi.STATE_FOCUSED)), 10)
        check(current.getState().contains(pyatspi.STATE_FOCUSED) and
              current.getState().contains(pyatspi.STATE_SELECTED),
              "the current tab says it has the focus with its strip", describe(current))
        start = poll("\"Start Creating Template\"", running(lambda: find(
            editor, pyatspi.ROLE_PUSH_BUTTON, "Start Creating Template",
            lambda b: b.getState().contains(pyatspi.STATE_ENABLED))), 60)
        start.queryAction().doAction(0)

        window = poll("preview window", running(
            lambda: window_with(lambda b: "Back" in b.name)), 120)
        session.focus_window("Velmora")
        poll("focus in the preview", running(lambda: find(
            window, test=lambda n: n.getState().contains(pyatspi.STATE_FOCUSED))), 10)

        # The page: described as the cover sheet's page, or so named before it had a number.
        page = find(window, test=lambda n: "Cover sheet page" in (n.name, n.description))
        if page is None:
            raise RuntimeError("the preview has no page")
    except Exception as failure:  # the program, the bus or the windows failed us
        session.close()
        print(f"could not run the check: {failure}", file=sys.stderr)
        return 2

    try:
        check(page.name.startswith("Page 1 of ") and page.name.endswith("%"),
              "the page's name says which page and zoom", describe(page))
        report.append(f"     the page's description: {page.description!r}")
        try:
            text = page.queryText()
            content = text.getText(0, -1)
        except NotImplementedError:
            content = None
        check(content is not None and MESSAGE in content,
              "the page's text is the document's, the message included",
              "no text interface" if content is None else f"{len(content)} characters")
        if content:
            report.append("     page text: " + " | ".join(
                line.strip() for line in content.splitlines() if line.strip())[:400])

        back = find(window, pyatspi.ROLE_PUSH_BUTTON, test=lambda b: "Back" in b.name)
        check(back is not None and back.name == "Back", "\"< Back\" is named \"Back\"",
              describe(back))

        # The editor is hidden now: nothing in it may still say it has the focus.
        def focused_in_editor():
            return [n for n in walk(editor) if n.getState().contains(pyatspi.STATE_FOCUSED)]
        stale = focused_in_editor()
        check(not stale, "nothing in the hidden editor says it has the focus",
              ", ".join(describe(n) for n in stale) or "nothing")
        focus = [n for n in walk(window) if n.getState().contains(pyatspi.STATE_FOCUSED)]
        report.append("     focused in the preview: " +
                      (", ".join(describe(n) for n in focus) or "nothing"))

        # And back: the preview hidden, nothing in it says it has the focus.
        back.queryAction().doAction(0)
        poll("editor again", running(lambda: editor.getState().contains(pyatspi.STATE_SHOWING)
                                     and not window.getState().contains(pyatspi.STATE_SHOWING)),
             30)
        session.focus_window("Velmora")
        poll("focus in the editor", running(lambda: find(
            editor, test=lambda n: n.getState().contains(pyatspi.STATE_FOCUSED))), 10)
        stale = [n for n in walk(window) if n.getState().contains(pyatspi.STATE_FOCUSED)]
        check(not stale, "nothing in the hidden preview says it has the focus",
              ", ".join(describe(n) for n in stale) or "nothing")
    finally:
        session.close()

    for line in report:
        if not args.quiet or line.startswith("FAIL"):
            print(line)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
