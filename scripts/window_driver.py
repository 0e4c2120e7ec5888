"""Driving VexloHelper.exe's window from the Linux side, as a user would:
find a window by its caption (tests/e2e/wininspect.exe), click a control
(xdotool), confirm a message box, take a screenshot (ImageMagick's import).
Used by `make run-gui` under Xvfb and by the demo machine's window test.
Every wait is bounded."""
import os
import subprocess
import tempfile
import time


class TWindowDriver:
    def __init__(self, loader, inspect_exe, env):
        self.loader, self.inspect_exe, self.env = loader, inspect_exe, env

    def inspect(self, verb, caption, arg):
        """wininspect's answer; output through a file, since a Wine process may
        leave helpers behind that keep inherited pipes open."""
        with tempfile.TemporaryFile() as out:
            proc = subprocess.run([self.loader, self.inspect_exe, verb, caption, str(arg)], stdin=subprocess.DEVNULL,
                                  stdout=out, stderr=subprocess.DEVNULL, env=self.env,
                                  timeout=int(arg) + 60 if verb == "wait" else 60)
            out.seek(0)
            return proc.returncode, out.read().decode("utf-8", "replace")

    def wait_window(self, caption, seconds):
        """The facts of a visible top-level window with this caption, or None
        when none appeared in time: origin, client, window, children."""
        rc, out = self.inspect("wait", caption, seconds)
        if rc != 0:
            return None
        facts = {"children": []}
        for line in out.splitlines():
            key, _, value = line.partition("=")
            if key == "child":
                cls, text, rect, visible, style, font = value.split("|")
                facts["children"].append({"class": cls, "text": text, "rect": tuple(map(int, rect.split(","))),
                                          "visible": visible == "visible", "style": int(style), "font": font})
            else:
                facts[key] = value
        return facts

    @staticmethod
    def child(facts, cls):
        for c in facts["children"]:
            if c["class"].lower() == cls.lower():
                return c
        return None

    def xdotool(self, *args):
        return subprocess.run(["xdotool", *args], stdin=subprocess.DEVNULL, capture_output=True, text=True,
                              timeout=30, env=self.env)

    def click_save_report(self, caption="Vexlo Helper V9", box="Information"):
        """Clicks "Save report" until the window takes it (the button is
        disabled once the run has started); a click that comes before the
        window is ready is lost, so it is repeated, at most ten times."""
        for _ in range(10):
            form = self.wait_window(caption, 5)
            if form is None:
                return False
            button = self.child(form, "Button")
            if button is None:
                return False
            if button["style"] & 0x08000000:  # WS_DISABLED: the run has started
                return True
            for wid in self.xdotool("search", "--name", f"^{caption}$").stdout.split():
                self.xdotool("windowraise", wid)
            ox, oy = map(int, form["origin"].split(","))
            bx, by, bw, bh = button["rect"]
            self.xdotool("mousemove", str(ox + bx + bw // 2), str(oy + by + bh // 2), "click", "1")
            if self.wait_window(box, 2) is not None:
                return True
        return False

    def confirm_box(self, caption="Information", seconds=30):
        """Confirms a message box with the Return key, or by its OK button when
        the key does not reach it (there is no window manager to activate it);
        True once the box is gone."""
        deadline = time.monotonic() + seconds
        pressed = False
        while time.monotonic() < deadline:
            for wid in self.xdotool("search", "--name", f"^{caption}$").stdout.split():
                self.xdotool("key", "--window", wid, "Return")
            if self.wait_window(caption, 1) is None:
                return True
            if not pressed:
                self.inspect("press", caption, "OK")
                pressed = True
            if self.wait_window(caption, 1) is None:
                return True
        return False

    def screenshot(self, facts, path):
        """The screen area of a window (as wait_window reported it) as a PNG file."""
        wx, wy, ww, wh = map(int, facts["window"].split(","))
        subprocess.run(["import", "-window", "root", "-crop", f"{ww}x{wh}+{wx}+{wy}", path], capture_output=True,
                       env=self.env, timeout=60)
        return os.path.isfile(path) and os.path.getsize(path) > 0

    def save_report(self, caption="Vexlo Helper V9", box="Information", seconds=300):
        """What a user does: click "Save report", wait for the result box, read
        it and confirm it. The box's static texts, or None when the click was
        not taken or no box came within `seconds`."""
        if not self.click_save_report(caption, box):
            return None
        facts = self.wait_window(box, seconds)
        if facts is None:
            return None
        texts = [c["text"] for c in facts["children"] if c["class"].lower() == "static"]
        self.confirm_box(box)
        return texts
