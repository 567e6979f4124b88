"""Drives the Windows program under Wine the way a user does.

Input goes through the X server only (xdotool: pointer and keys).  What is
on screen is read back with wininspect, a helper that runs inside the same
Wine prefix and lists every window and control with its id, rectangle and
state: Wine draws each top-level window into one X window, so X tools alone
cannot tell where a button is.  Nothing here reaches into the program.

Every wait polls with a deadline: a step that never happens fails with the
window list attached instead of hanging or racing ahead.
"""

import os
import shlex
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


class DriverError(Exception):
    pass


class Window:
    """One line of `wininspect list`: a top-level window or a control."""

    def __init__(self, line):
        fields = line.rstrip("\r\n").split("\t")
        self.kind = fields[0]
        self.fields = {}
        for field in fields[1:]:
            key, _, value = field.partition("=")
            if value.startswith('"') and value.endswith('"'):
                value = _unescape(value[1:-1])
            self.fields[key] = value
        self.hwnd = self.fields.get("hwnd", "")
        self.parent = self.fields.get("parent", "")
        self.cls = self.fields.get("class", "")
        self.id = int(self.fields.get("id", "0"))
        self.text = self.fields.get("text", "")
        self.rect = tuple(int(v) for v in self.fields.get("rect", "0,0,0,0").split(","))
        self.visible = self.fields.get("visible") == "1"
        self.enabled = self.fields.get("enabled") == "1"
        self.check = int(self.fields["check"]) if "check" in self.fields else None
        self.scroll = tuple(int(v) for v in self.fields["scroll"].split(",")) if "scroll" in self.fields else None
        self.top = None          # the top-level Window a control belongs to
        self.controls = []       # a top-level window's controls

    @property
    def centre(self):
        left, top, right, bottom = self.rect
        return (left + right) // 2, (top + bottom) // 2

    def control(self, control_id, cls=None):
        for c in self.controls:
            if c.id == control_id and (cls is None or c.cls.lower() == cls.lower()):
                return c
        return None

    def __repr__(self):
        return "%s %s id=%d %r rect=%s" % (self.kind, self.cls, self.id, self.text, self.rect)


def _unescape(text):
    out = []
    i = 0
    while i < len(text):
        c = text[i]
        if c == "\\" and i + 1 < len(text):
            n = text[i + 1]
            out.append({"\\": "\\", '"': '"', "t": "\t", "r": "\r", "n": "\n"}.get(n, n))
            i += 2
        else:
            out.append(c)
            i += 1
    return "".join(out)


class Session:
    """A display, a Wine prefix and the program's builds."""

    def __init__(self, display, exe, wininspect, shots_dir, log=print):
        self.display = display
        self.exe = exe
        self.wininspect = wininspect
        self.shots_dir = shots_dir
        self.log = log
        self.program = None
        self.env = dict(os.environ)
        self.env["DISPLAY"] = display
        self.shot_count = 0
        os.makedirs(shots_dir, exist_ok=True)

    # -- the program -----------------------------------------------------

    def start(self):
        self.program = subprocess.Popen(
            [os.path.join(ROOT, "scripts", "wine-run.sh"), self.exe],
            env=self.env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
            stderr=open(os.path.join(self.shots_dir, "wine-stderr.txt"), "wb"),
            start_new_session=True)

    def program_exited(self, timeout=20):
        try:
            self.program.wait(timeout=timeout)
            return True
        except subprocess.TimeoutExpired:
            return False

    def stop(self):
        if self.program and self.program.poll() is None:
            try:
                os.killpg(self.program.pid, 15)
            except ProcessLookupError:
                pass
            try:
                self.program.wait(timeout=10)
            except subprocess.TimeoutExpired:
                os.killpg(self.program.pid, 9)

    # -- reading the screen ----------------------------------------------

    def windows(self):
        """Every visible top-level window with its controls."""
        result = subprocess.run(
            [os.path.join(ROOT, "scripts", "wine-run.sh"), self.wininspect, "list"],
            env=self.env, stdin=subprocess.DEVNULL, capture_output=True, timeout=60)
        tops = []
        current = None
        for raw in result.stdout.decode("utf-8", "replace").splitlines():
            if not raw.strip():
                continue
            w = Window(raw)
            if w.kind == "window":
                current = w if w.visible else None
                if current:
                    tops.append(current)
            elif current is not None:
                w.top = current
                current.controls.append(w)
        return tops

    def find(self, title, exact=False, tops=None):
        for w in tops if tops is not None else self.windows():
            if (w.text == title) if exact else (title in w.text):
                return w
        return None

    def describe(self):
        lines = []
        for w in self.windows():
            lines.append(repr(w))
            for c in w.controls:
                if c.visible:
                    lines.append("    " + repr(c))
        return "\n".join(lines)

    def wait_for(self, what, condition, timeout=30.0, interval=0.15):
        """Polls condition() until it returns something true; returns that."""
        deadline = time.monotonic() + timeout
        while True:
            value = condition()
            if value:
                return value
            if self.program is not None and self.program.poll() is not None:
                raise DriverError("the program ended (exit code %s) while waiting for %s; its stderr is in %s"
                                  % (self.program.returncode, what, os.path.join(self.shots_dir, "wine-stderr.txt")))
            if time.monotonic() > deadline:
                self.screenshot("timeout")
                raise DriverError("timed out after %.0f s waiting for %s\nwindows now:\n%s"
                                  % (timeout, what, self.describe()))
            time.sleep(interval)

    def wait_window(self, title, timeout=30.0, exact=False):
        return self.wait_for("window %r" % title, lambda: self.find(title, exact), timeout)

    def wait_gone(self, title, timeout=30.0, exact=False):
        self.wait_for("window %r to close" % title, lambda: not self.find(title, exact), timeout)

    def wait_control(self, title, control_id, condition, what, timeout=15.0):
        def probe():
            w = self.find(title)
            c = w.control(control_id) if w else None
            return c if c is not None and condition(c) else None
        return self.wait_for("%s (%r control %d)" % (what, title, control_id), probe, timeout)

    def control(self, title, control_id, cls=None):
        w = self.wait_window(title)
        c = w.control(control_id, cls)
        if c is None:
            raise DriverError("window %r has no control %d\n%s" % (title, control_id, self.describe()))
        return c

    # -- input -----------------------------------------------------------

    def xdotool(self, *args):
        subprocess.run(["xdotool"] + [str(a) for a in args], env=self.env, check=True, timeout=30)

    def click_at(self, x, y, button=1):
        # No --sync: moving to where the pointer already is would wait for a
        # motion event that never comes.
        self.xdotool("mousemove", x, y, "click", button)

    def click(self, title, control_id, cls=None):
        c = self.control(title, control_id, cls)
        if not c.enabled:
            raise DriverError("control %d of %r is disabled" % (control_id, title))
        self.click_at(*c.centre)
        return c

    def drag(self, x0, y0, x1, y1, steps=8):
        self.xdotool("mousemove", x0, y0)
        time.sleep(0.1)
        self.xdotool("mousedown", 1)
        for i in range(1, steps + 1):
            self.xdotool("mousemove", x0 + (x1 - x0) * i // steps, y0 + (y1 - y0) * i // steps)
            time.sleep(0.03)
        self.xdotool("mouseup", 1)

    def keys(self, *names):
        self.xdotool("key", "--clearmodifiers", *names)

    def type_text(self, text):
        self.xdotool("type", "--delay", "20", text)

    def menu(self, window_title, popup_key, item_key):
        """Opens a menu with alt+key and picks an item by its access key."""
        self.activate(window_title)
        self.keys("alt+" + popup_key)
        # Wine needs a moment between opening the popup and the item key.
        time.sleep(0.4)
        self.keys(item_key)

    def menu_dialog(self, window_title, popup_key, item_key, dialog_title, timeout=20.0):
        """Picks a menu item that opens a window and waits for it.  A key
        that reached Wine before its menu was ready is lost: then the menu
        is closed with Escape and picked again."""
        for attempt in range(3):
            self.menu(window_title, popup_key, item_key)
            try:
                return self.wait_for("window %r" % dialog_title, lambda: self.find(dialog_title),
                                     timeout if attempt == 2 else timeout / 2)
            except DriverError:
                if attempt == 2:
                    raise
                self.log("      menu %s/%s opened nothing; again" % (popup_key, item_key))
                self.keys("Escape")
                time.sleep(0.3)
                self.keys("Escape")
        return None

    def activate(self, title):
        """Makes sure the window has the keyboard: clicks its caption when it
        is not the active window."""
        w = self.wait_window(title)
        if w.fields.get("active") == "1" and w.fields.get("foreground") == "1":
            return w
        left, top, right, _ = w.rect
        self.click_at((left + right) // 2, top + 10)
        return self.wait_for("window %r to become active" % title,
                             lambda: (lambda x: x if x and x.fields.get("foreground") == "1" else None)(self.find(title)),
                             10)

    def set_edit_text(self, title, control_id, text, cls=None):
        """Replaces an edit box's contents by clicking it and typing."""
        c = self.click(title, control_id, cls)
        self.keys("ctrl+a")
        self.keys("End", "shift+Home", "BackSpace")
        self.type_text(text)
        return c

    # -- output ----------------------------------------------------------

    def screenshot(self, name, window_title=None, path=None):
        """Saves the screen (or one window, cropped from it) as PNG."""
        self.shot_count += 1
        if path is None:
            path = os.path.join(self.shots_dir, "%02d-%s.png" % (self.shot_count, name))
        args = ["import", "-display", self.display, "-window", "root"]
        if window_title is not None:
            w = self.find(window_title)
            if w:
                left, top, right, bottom = w.rect
                args += ["-crop", "%dx%d+%d+%d" % (right - left, bottom - top, left, top), "+repage"]
        subprocess.run(args + [path], env=self.env, check=False, timeout=60)
        return path
