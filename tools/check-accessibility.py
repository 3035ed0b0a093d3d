#!/usr/bin/python3
"""What a screen reader hears of Velmora, read through AT-SPI as a screen reader reads it.

    tools/check-accessibility.py [--program build/bin/velmora] [--display :N] [--quiet]

Starts the built program on an X server of its own (Xvfb), in a D-Bus session of its own with
the accessibility bus and registry, with settings, cache and temporary folders of its own. Then,
through pyatspi (X input only for the window focus and the keys a user presses: Ctrl+Shift+A,
Escape): reads the windows' roles, names and captions, opens the date picker's calendar with the
picker's own action, types a message into the editor's "Message" field, presses "Start Creating
Template", waits for the preview, and reads what an assistive technology gets: the page's name
and text, the names of the preview's buttons and of the editor's tabs, whether Tab would stop on
the preview's scroll bars, the name of a page of a document attached through "Attach
Documents..." (its file dialog filled in through AT-SPI), and which objects of the hidden editor
still say they have the focus. Prints what it read and exits 1 when something a user needs is
missing (0 when all holds, 2 when it could not run the program).
"""

import argparse
import os
import re
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


CONTRACT = ["Contract page one", "Contract page two 2718", "Contract page three"]


def write_text_pdf(path, pages):
    """A PDF with one line of text a page (Helvetica), its cross-reference table exact."""
    count = len(pages)
    objects = [b"<< /Type /Catalog /Pages 2 0 R >>",
               b"<< /Type /Pages /Kids [" + b" ".join(
                   f"{4 + 2 * i} 0 R".encode() for i in range(count)) +
               f"] /Count {count} >>".encode(),
               b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>"]
    for i, text in enumerate(pages):
        stream = f"BT /F1 24 Tf 72 700 Td ({text}) Tj ET".encode()
        objects.append(f"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] "
                       f"/Resources << /Font << /F1 3 0 R >> >> /Contents {5 + 2 * i} 0 R >>"
                       .encode())
        objects.append(f"<< /Length {len(stream)} >>\nstream\n".encode() + stream +
                       b"\nendstream")
    out = bytearray(b"%PDF-1.4\n")
    offsets = []
    for number, body in enumerate(objects, 1):
        offsets.append(len(out))
        out += f"{number} 0 obj\n".encode() + body + b"\nendobj\n"
    xref = len(out)
    out += f"xref\n0 {len(objects) + 1}\n0000000000 65535 f \n".encode()
    for offset in offsets:
        out += f"{offset:010d} 00000 n \n".encode()
    out += (f"trailer\n<< /Size {len(objects) + 1} /Root 1 0 R >>\nstartxref\n{xref}\n%%EOF\n"
            .encode())
    with open(path, "wb") as pdf:
        pdf.write(out)


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

    def caption(self):
        """The caption of the program's one visible window, as the window manager shows it."""
        env = dict(os.environ, DISPLAY=self.display)
        found = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid",
                                str(self.program.pid), "--name", "."],
                               env=env, capture_output=True, text=True).stdout.split()
        return [subprocess.run(["xdotool", "getwindowname", window], env=env,
                               capture_output=True, text=True).stdout.strip()
                for window in found]

    def keys(self, *keys):
        """Presses keys (xdotool's names) where the input focus is."""
        subprocess.run(["xdotool", "key", "--clearmodifiers", *keys],
                       env=dict(os.environ, DISPLAY=self.display), check=True)

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


def heard(node):
    """A window's role, name and description, as a screen reader announces it."""
    return f"{node.getRoleName()} {node.name!r} ({node.description!r})"


def action_index(node, wanted):
    """The index of `node`'s action named `wanted` (case aside), or None."""
    try:
        actions = node.queryAction()
    except NotImplementedError:
        return None
    for i in range(actions.nActions):
        if actions.getName(i).lower() == wanted.lower():
            return i
    return None


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
        # The two windows share their caption; a screen reader tells them apart by role, name
        # and description.
        check(editor.getRole() == pyatspi.ROLE_FRAME and
              "editor" in f"{editor.name} {editor.description}".lower(),
              "the editor is a frame that says it is the editor", heard(editor))
        captions = session.caption()
        check(captions == ["Velmora"], "the editor's caption stays \"Velmora\"", captions)
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
        # The date picker's "show menu" action opens its calendar, which is then in the tree
        # under the picker (and out of it again once closed).
        date = find(editor, pyatspi.ROLE_SPIN_BUTTON, "Date",
                    lambda n: n.getState().contains(pyatspi.STATE_SHOWING))
        show = action_index(date, "ShowMenu") if date is not None else None

        def calendar_in_date():
            return find(date, test=lambda n: n != date and n.name == "Calendar")
        calendar = inside = None
        if show is not None:
            date.queryAction().doAction(show)
            try:
                calendar = poll("the calendar in the picker", running(calendar_in_date), 10)
                inside = poll("focus in the calendar", running(lambda: find(
                    calendar, test=lambda n: n.getState().contains(pyatspi.STATE_FOCUSED))), 10)
            except TimeoutError:
                pass
        check(calendar is not None and inside is not None,
              "the picker's \"show menu\" opens its calendar, in the tree, the focus in it",
              f"action {'ShowMenu' if show is not None else 'missing'} of {describe(date)}; "
              f"{describe(calendar)} in it, focused: {describe(inside)}")
        if calendar is not None:
            session.keys("Escape")
            poll("the calendar closed", running(lambda: calendar_in_date() is None), 10)
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
        check(window.getRole() == pyatspi.ROLE_FRAME and
              "preview" in f"{window.name} {window.description}".lower(),
              "the preview is a frame that says it is the preview", heard(window))
        captions = session.caption()
        check(captions == ["Velmora"], "the preview's caption stays \"Velmora\"", captions)
        check(re.fullmatch(r"Cover sheet, page 1 of \d+; page 1 of \d+ of the fax; zoom \d+%",
                           page.name) is not None,
              "the page's name says the cover sheet's page, the fax's page and the zoom",
              describe(page))
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

        # Tab, pressed as a user does, walks the commands and no scroll bar (zoomed in, so that
        # the bars are on).
        zoom_in = find(window, pyatspi.ROLE_PUSH_BUTTON, "Zoom In")
        for _ in range(2):
            zoom_in.queryAction().doAction(0)
            time.sleep(0.3)
        bars = [n for n in walk(window) if n.getRole() == pyatspi.ROLE_SCROLL_BAR and
                n.getState().contains(pyatspi.STATE_ENABLED)]
        focusable = [describe(b) for b in bars if b.getState().contains(pyatspi.STATE_FOCUSABLE)]
        back.queryComponent().grabFocus()
        stops = []
        for _ in range(6):
            session.keys("Tab")
            time.sleep(0.3)
            stops += [describe(n) for n in walk(window)
                      if n.getState().contains(pyatspi.STATE_FOCUSED) and
                      n.getRole() != pyatspi.ROLE_FRAME]
        on_bars = [stop for stop in stops if stop.startswith("scroll bar")]
        check(bars and not focusable and not on_bars and stops,
              "Tab does not stop on the preview's scroll bars",
              f"{len(bars)} bars on, focusable: {focusable or 'none'}; Tab stops: " +
              ", ".join(dict.fromkeys(stops)))

        # A document attached through "Attach Documents..." (its file dialog filled in as a
        # screen reader user fills it in): its pages are named by it.
        contract = session.path("home/contract.pdf")
        write_text_pdf(contract, CONTRACT)
        try:
            session.focus_window("Velmora")
            session.keys("ctrl+shift+a")
            dialog = poll("the attach dialog", running(lambda: find(
                velmora, pyatspi.ROLE_DIALOG, "Attach Documents",
                lambda n: n.getState().contains(pyatspi.STATE_SHOWING))), 30)
            field = poll("the file name field", running(lambda: find(
                dialog, pyatspi.ROLE_TEXT, test=lambda n: n.name.startswith("File name"))), 10)
            field.queryEditableText().setTextContents(contract)
            find(dialog, pyatspi.ROLE_PUSH_BUTTON, "Open").queryAction().doAction(0)
            poll("the attach dialog closed", running(
                lambda: not dialog.getState().contains(pyatspi.STATE_SHOWING)), 30)
            following = find(window, pyatspi.ROLE_MENU_ITEM, "Next Page")
            # The cover is made again for the new count; the pages can be turned after that.
            for page_of_fax in (2, 3):
                poll("\"Next Page\" enabled", running(
                    lambda: following.getState().contains(pyatspi.STATE_ENABLED)), 120)
                before = page.name
                following.queryAction().doAction(0)
                poll(f"page {page_of_fax}", running(lambda: page.name != before), 30)
            attached = page.name
        except (TimeoutError, AttributeError) as failure:
            attached = f"(could not attach: {failure})"
        check(re.fullmatch(r"contract\.pdf, page 2 of 3; page 3 of 4 of the fax; zoom \d+%",
                           attached) is not None,
              "an attached page is named by its document, its page there and the fax's page",
              f"{describe(page)}" if not attached.startswith("(") else attached)
        def page_text():
            try:
                return page.queryText().getText(0, -1)
            except NotImplementedError:
                return ""
        # The page is drawn on the program's worker: its text comes with its picture.
        try:
            shown = poll("the attached page's text", running(lambda: CONTRACT[1] in page_text()
                                                             and page_text()), 30)
        except TimeoutError:
            shown = page_text()
        check(CONTRACT[1] in shown, "the attached page's text is that page's", repr(shown[:80]))

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
